"""Checks a report page and the DOM a real browser made of it.

Usage: check_report.py PAGE DOM DATABASE_DOM SCREENSHOT CHECKS_DOM
"""
import re
import subprocess
import sys
from html.parser import HTMLParser

HOSTILE_NAME = '<script>alert(1)</script>"><img src=x onerror=alert(2)>'
HOSTILE_CONSOLE = '<script>alert(4)</script>'
OVERRIDE = '\u202e'
SHOWN_OVERRIDE = 'report\ufffdtxt.exe'
OUTSIDE = re.compile(r'^\s*(https?:|//)', re.I)


class Page(HTMLParser):
    """Every element with its attributes, and the text of each table cell and pre block."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.elements = []
        self.rows = []  # (class, [cell texts]) of the rendered table's body
        self.pres = []
        self.styles = []
        self._stack = []
        self._text = None
        self._in_body = False
        self._in_noscript = False

    def handle_starttag(self, tag, attrs):
        attributes = dict(attrs)
        self.elements.append((tag, attributes))
        if tag == 'noscript':
            self._in_noscript = True
        if self._in_noscript:
            return
        if tag == 'tbody':
            self._in_body = True
        elif tag == 'tr' and self._in_body:
            self.rows.append((attributes.get('class', ''), []))
        elif tag in ('td', 'pre', 'style'):
            self._text = (tag, [])

    def handle_endtag(self, tag):
        if tag == 'noscript':
            self._in_noscript = False
        if self._in_noscript:
            return
        if tag == 'tbody':
            self._in_body = False
        elif self._text and tag == self._text[0]:
            text = ''.join(self._text[1])
            if tag == 'td' and self.rows:
                self.rows[-1][1].append(text)
            elif tag == 'pre':
                self.pres.append(text)
            elif tag == 'style':
                self.styles.append(text)
            self._text = None

    def handle_data(self, data):
        if self._text:
            self._text[1].append(data)


def parse(path):
    page = Page()
    with open(path, encoding='utf-8') as text:
        page.feed(text.read())
    return page


def fail(message):
    print('check_report: ' + message, file=sys.stderr)
    sys.exit(1)


def check_self_contained(page):
    policies = [a.get('content', '') for t, a in page.elements if t == 'meta' and a.get('http-equiv') == 'Content-Security-Policy']
    if not policies or "default-src 'none'" not in policies[0]:
        fail('no Content-Security-Policy that forbids loading')
    for tag, attributes in page.elements:
        for name in ('src', 'href', 'action', 'srcset'):
            if name in attributes and OUTSIDE.match(attributes[name] or ''):
                fail('<%s %s="%s"> points outside the page' % (tag, name, attributes[name]))
    for style in page.styles:
        if re.search(r'url\(\s*["\']?\s*(https?:|//)', style, re.I):
            fail('a style loads from outside')


def check_dom(dom):
    scripts = [a for t, a in dom.elements if t == 'script']
    if len(scripts) != 2 or scripts[0].get('type') != 'application/json':
        fail('scripts other than the page\'s own: %r' % scripts)
    for tag, attributes in dom.elements:
        handlers = [name for name in attributes if name.lower().startswith('on')]
        if handlers:
            fail('<%s> has handlers %r' % (tag, handlers))
        if tag == 'img' and not (attributes.get('src') or '').startswith('data:image/png;base64,'):
            fail('an image that is not the page\'s own picture: %r' % attributes)
    files = [cells for kind, cells in dom.rows if kind == 'file']
    if len(files) != 6:
        fail('%d rows, not one per plug-in: %r' % (len(files), dom.rows))
    if files[0][0] == 'ok' or files[-1][0] != 'ok':
        fail('problems are not first: %r' % [cells[0] for cells in files])
    if not any(HOSTILE_NAME in cells for cells in files):
        fail('the hostile name is not shown as text')
    # No text turns itself around: the override is shown as the terminal shows it.
    cells = [cell for kind, row in dom.rows for cell in row]
    if any(OVERRIDE in cell for cell in cells) or not any(SHOWN_OVERRIDE in cell for cell in cells):
        fail('a right-to-left override acts on the page: %r' % [c for c in cells if 'txt' in c])
    if not any(HOSTILE_CONSOLE in text for text in dom.pres):
        fail('the hostile console text is not shown as text')
    if not any(t == 'img' for t, a in dom.elements):
        fail('no picture of the dialog')
    return sorted((cells[8], cells[0]) for cells in files)


def check_checks(path):
    """The page of a --check run: a Check and a Load column, each plug-in's stages as marks with
    its verdict under them, and a section for each check that did not pass."""
    with open(path, encoding='utf-8') as text:
        raw = text.read()
    dom = parse(path)
    for title in ('Check', 'Load (%)'):
        if '>%s</th>' % title not in raw:
            fail('no %s column' % title)
    rows = {cells[-2]: cells for kind, cells in dom.rows if kind in ('file', 'sub') and len(cells) > 3}
    # A cell's text is its marks' stage names, then the verdict.
    expected = {'check_clean.dll': 'openprocessaudioparametersautomationprogramsstatesessionbusesclosepassed',
                'check_writes_nan.dll': 'openprocessaudiofailed in audio',
                'check_crash_block_64.dll': 'openprocesscrashed in process at 44100 Hz, blocks of 64'}
    for name, marks in expected.items():
        if name not in rows or rows[name][1] != marks:
            fail('the check of %s shows %r, not %r' % (name, rows.get(name, ['', ''])[1], marks))
    if not re.search(r'class="mark mark-failed"[^>]*>audio<', raw):
        fail('the failed stage has no red mark')
    loads = [cells[2] for cells in rows.values() if cells[1].endswith('passed')]
    if not loads or not all(re.fullmatch(r'\d+\.\d', load) for load in loads):
        fail('loads are not shown: %r' % loads)
    # A row's mark is the worse of scan and check, and the page sorts by it: the bad checks first.
    statuses = [cells[0] for kind, cells in dom.rows if kind == 'file']
    if statuses[:2] != ['crashed', 'failed'] or statuses[-1] != 'ok':
        fail('rows are not marked and sorted by the worse of scan and check: %r' % statuses)
    # Names wrap between words; a long token has break points of its own.
    if 'overflow-wrap: break-word' not in raw or 'overflow-wrap: anywhere' in raw:
        fail('names may break inside short words')
    for section in ('check_writes_nan.dll (check)', 'check_crash_block_64.dll (check)'):
        if section not in raw:
            fail('no section for %s' % section)


def main():
    page_path, dom_path, database_dom_path, screenshot, checks_dom_path = sys.argv[1:6]
    check_checks(checks_dom_path)
    check_self_contained(parse(page_path))
    scan_rows = check_dom(parse(dom_path))
    database_rows = check_dom(parse(database_dom_path))
    if scan_rows != database_rows:
        fail('the page of the database differs: %r, %r' % (scan_rows, database_rows))
    colours = int(subprocess.run(['identify', '-format', '%k', screenshot], capture_output=True, text=True, check=True).stdout)
    if colours < 16:
        fail('the screenshot is blank (%d colours)' % colours)
    print('check_report: %d rows, %d colours in the screenshot' % (len(scan_rows), colours))


main()
