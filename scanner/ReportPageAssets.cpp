// The report page's own style and script. The script renders the scan's records, which sit in
// the page as JSON data, with textContent only: nothing a plug-in says becomes markup.
#include "scanner/ReportPageAssets.h"

const char* const kReportPageStyle = R"CSS(
body { font: 14px/1.4 "DejaVu Sans", Arial, sans-serif; margin: 1.5em; color: #1d1d1f; background: #fafafa; }
h1 { font-size: 1.5em; margin: 0 0 .3em; }
h2 { font-size: 1.15em; margin: 1.4em 0 .5em; }
.meta { color: #555; margin-bottom: 1em; }
.counts { display: flex; flex-wrap: wrap; gap: .5em; margin: .5em 0; }
.count { border: 1px solid #ccc; border-radius: 4px; padding: .2em .6em; background: #fff; }
.controls { margin: 1em 0 .5em; display: flex; gap: 1em; align-items: center; }
table { border-collapse: collapse; width: 100%; background: #fff; }
th, td { border-bottom: 1px solid #e2e2e2; padding: .3em .5em; text-align: left; vertical-align: top; }
/* Every text in its own direction, wrapped between words; a long token has break points of its own. */
td, td *, dd, h3 span { unicode-bidi: isolate; overflow-wrap: break-word; }
th { background: #eee; cursor: pointer; user-select: none; white-space: nowrap; }
th.sorted-up::after { content: " \25B2"; }
th.sorted-down::after { content: " \25BC"; }
tr.sub td.name { padding-left: 2em; }
tr.sub td { color: #444; }
.status { display: inline-block; min-width: 6.5em; padding: 0 .4em; border-radius: 3px; font-weight: bold; }
.status-ok { background: #d7f0dc; color: #14532d; }
.status-failed { background: #fde2c8; color: #7c2d12; }
.status-crashed { background: #f9c9c9; color: #7f1d1d; }
.status-timed-out { background: #e6dcf7; color: #4c1d95; }
.status-blocked { background: #fff1b8; color: #713f12; }
.status-warnings { background: #fff1b8; color: #713f12; }
.status-check { font-weight: normal; font-style: italic; }
.detail { background: #fff; border: 1px solid #ddd; border-left: 6px solid #b91c1c; padding: .6em 1em; margin: .8em 0; }
.detail h3 { margin: 0 0 .4em; font-size: 1.05em; }
.detail dl { display: grid; grid-template-columns: max-content 1fr; gap: .2em 1em; margin: 0; }
.detail dt { font-weight: bold; color: #555; }
.detail dd { margin: 0; word-break: break-all; }
pre { background: #f3f3f3; padding: .5em; white-space: pre-wrap; word-break: break-all; margin: .3em 0; }
.dialog { border-top: 1px dashed #ccc; margin-top: .6em; padding-top: .4em; }
.dialog img { max-width: 100%; border: 1px solid #999; display: block; margin-top: .4em; }
.footnote { color: #555; margin-top: 2em; font-size: .9em; }
.marks { white-space: nowrap; }
.mark { display: inline-block; padding: 0 .25em; margin-right: 2px; border-radius: 2px; font-size: .8em; }
.mark-passed { background: #d7f0dc; color: #14532d; }
.mark-warning, .mark-warnings { background: #fff1b8; color: #713f12; }
.mark-failed, .mark-crashed { background: #f9c9c9; color: #7f1d1d; }
.mark-timed-out, .mark-blocked { background: #e6dcf7; color: #4c1d95; }
.mark-skipped { background: #eee; color: #666; }
.verdict { font-size: .85em; color: #444; }
)CSS";

const char* const kReportPageScript = R"JS(
(function () {
  'use strict';
  var data = JSON.parse(document.getElementById('scan-data').textContent);
  var problemOrder = { 'crashed': 0, 'timed out': 1, 'blocked': 2, 'failed': 3, 'warnings': 4, 'ok': 5 };
  var vst2Categories = ['unknown', 'effect', 'instrument', 'analysis', 'mastering', 'spatializer', 'room fx',
                        'surround fx', 'restoration', 'offline', 'shell', 'generator'];
  var statuses = ['crashed', 'timed out', 'blocked', 'failed', 'ok'];
  function rank(status) { return Object.prototype.hasOwnProperty.call(problemOrder, status) ? problemOrder[status] : 9; }

  function el(tag, className, text) {
    var node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined && text !== null) node.textContent = String(text);
    return node;
  }
  // A plug-in's text is shown as the terminal shows it: controls as their pictures, C1 controls
  // and the bidirectional overrides and isolates as U+FFFD, so that no name turns itself around.
  function safe(value) {
    return value.replace(/[\u0000-\u001f\u007f-\u009f\u202a-\u202e\u2066-\u2069]/g, function (c) {
      var code = c.charCodeAt(0);
      return code < 0x20 ? String.fromCharCode(0x2400 + code) : code === 0x7f ? '\u2421' : '\ufffd';
    });
  }
  function text(value) { return typeof value === 'string' ? safe(value) : (value === undefined || value === null ? '' : String(value)); }
  function fileName(path) { path = text(path); return path.substring(Math.max(path.lastIndexOf('\\'), path.lastIndexOf('/')) + 1); }
  function report(record) { return record.report && typeof record.report === 'object' ? record.report : {}; }
  // A plug-in's kind in the same words whatever its format, as the table gives it.
  var kinds = { 'fx': 'effect', 'audio-effect': 'effect', 'instrument': 'instrument', 'analyzer': 'analysis',
                'mastering': 'mastering', 'spatial': 'spatializer', 'generator': 'generator', 'restoration': 'restoration',
                'onlyofflineprocess': 'offline', 'note-effect': 'note effect', 'note-detector': 'note detector' };
  function category(record) {
    var value = report(record).category;
    if (typeof value === 'number') return value >= 0 && value < vst2Categories.length ? vst2Categories[value] : (value < 0 ? '' : String(value));
    var words = text(value).split('|').filter(function (w) { return w; });
    if (!words.length || !Object.prototype.hasOwnProperty.call(kinds, words[0].toLowerCase())) return text(value);
    var rest = words.slice(1).map(function (w) { return w.toLowerCase(); });
    // Non-breaking hyphens: a category never wraps at one.
    return (kinds[words[0].toLowerCase()] + (rest.length ? ' (' + rest.join(', ') + ')' : '')).replace(/-/g, '\u2011');
  }
  function version(record) {
    var value = text(report(record).version);
    return /^\d+\.\d+\.\d+\.0$/.test(value) ? value.substring(0, value.length - 2) : value;
  }
  // A module's file row tells what its plug-ins take and give; a plug-in that was checked tells
  // what it answered once open, the scan's flags otherwise.
  function midi(record) {
    var rows = isModule(record) && record.subPlugins ? record.subPlugins : [record];
    function says(r, checked, scanned) {
      var c = r.check && typeof r.check === 'object' ? r.check : null;
      return c && typeof c[checked] === 'boolean' ? c[checked] : report(r)[scanned] === true;
    }
    var wants = rows.some(function (r) { return says(r, 'midiIn', 'wantsMidi'); });
    var sends = rows.some(function (r) { return says(r, 'midiOut', 'sendsMidi'); });
    return [wants ? 'in' : '', sends ? 'out' : ''].filter(function (w) { return w; }).join('/');
  }
  // A text with a break point after every 16 characters of a token longer than 24: short words
  // wrap only between words, and a long path or id still wraps.
  function breakable(value) {
    var node = document.createDocumentFragment();
    value.split(/(\S{25,})/).forEach(function (part, index) {
      if (index % 2 === 0) { if (part) node.appendChild(document.createTextNode(part)); return; }
      for (var at = 0; at < part.length; at += 16) {
        if (at > 0) node.appendChild(document.createElement('wbr'));
        node.appendChild(document.createTextNode(part.substring(at, at + 16)));
      }
    });
    return node;
  }
  function statusBadge(status) {
    var word = text(status) || 'unknown';
    return el('span', 'status status-' + word.replace(/[^a-z]+/g, '-'), word);
  }
  function isProblem(record) { return text(record.status) !== 'ok'; }
  function isModule(record) { return record.format === 'vst3' || record.format === 'clap'; }
  // A module has no name of its own: it is called by its only plug-in, or by its file.
  function moduleName(record) {
    var subs = record.subPlugins || [];
    if (subs.length === 1 && text(report(subs[0]).name)) return text(report(subs[0]).name);
    var name = fileName(record.path), dot = name.lastIndexOf('.');
    return dot > 0 ? name.substring(0, dot) : name;
  }
  function worstStatus(record) {
    var worst = text(record.status);
    (record.subPlugins || []).forEach(function (sub) {
      if (rank(text(sub.status)) < rank(worst)) worst = text(sub.status);
    });
    return worst;
  }

  // A row's mark is the worse of its scan and its check: a failed check is not hidden behind an
  // ok scan, and sorting by it brings every problem to the top.
  var checkProblems = { 'crashed': 'crashed', 'timed out': 'timed out', 'blocked': 'blocked', 'failed': 'failed', 'warnings': 'warnings' };
  function worse(record, file) {
    var worst = file ? worstStatus(record) : text(record.status), fromCheck = false;
    (file ? plugins(record) : [record]).forEach(function (r) {
      var c = check(r), status = c ? text(c.status) : '';
      if (Object.prototype.hasOwnProperty.call(checkProblems, status) && rank(status) < rank(worst)) { worst = status; fromCheck = true; }
    });
    return { status: worst, fromCheck: fromCheck };
  }
  function worseBadge(record) {
    var w = worse(record, false), badge = statusBadge(w.status);
    if (w.fromCheck) { badge.className += ' status-check'; badge.title = 'its check: ' + text(check(record).verdict); }
    return badge;
  }

  // One group per file: its row, then its sub-plug-ins' rows under it.
  var columns = [
    { title: 'Status', value: function (r, file) { return rank(worse(r, file).status); }, cell: worseBadge },
    { title: 'Name', value: function (r, file) { return file && isModule(r) ? moduleName(r) : text(report(r).name); } },
    { title: 'Vendor', value: function (r) { return text(report(r).vendor); } },
    { title: 'Version', value: function (r) { return version(r); } },
    { title: 'Category', value: function (r) { return category(r); } },
    { title: 'MIDI *', value: function (r) { return midi(r); } },
    { title: 'Machine', value: function (r, file, parent) { return text((parent || r).arch); } },
    { title: 'Format', value: function (r, file, parent) { return text((parent || r).format || 'vst2'); } },
    { title: 'File', value: function (r, file, parent) { return file ? fileName(r.path) : '> ' + (text(report(r).name) || text(r.listedName) || text(r.id)); } },
    { title: 'Time (s)', value: function (r) { return typeof r.scanSeconds === 'number' ? r.scanSeconds : -1; },
      cell: function (r) { return document.createTextNode(typeof r.scanSeconds === 'number' ? r.scanSeconds.toFixed(2) : ''); } }
  ];
  // A check, when the plug-in has one: its stages as a row of marks, the verdict under them.
  function check(record) { return record.check && typeof record.check === 'object' ? record.check : null; }
  function plugins(record) { return record.subPlugins && record.subPlugins.length ? record.subPlugins : [record]; }
  var anyCheck = data.plugins.some(function (record) { return plugins(record).some(check); });
  var checkOrder = { 'crashed': 0, 'timed out': 1, 'blocked': 2, 'failed': 3, 'warnings': 4, 'passed': 5 };
  function checkRank(record, file) {
    var best = 9;
    (file ? plugins(record) : [record]).forEach(function (r) {
      var c = check(r), status = c ? text(c.status) : '';
      if (c && Object.prototype.hasOwnProperty.call(checkOrder, status)) best = Math.min(best, checkOrder[status]);
    });
    return best;
  }
  function checkMarks(record) {
    var c = check(record), box = el('div', 'marks');
    if (!c) return box;
    (Array.isArray(c.stages) ? c.stages : []).forEach(function (stage) {
      var result = text(stage.result), mark = el('span', 'mark mark-' + result.replace(/[^a-z]+/g, '-'), text(stage.stage));
      mark.title = text(stage.stage) + ': ' + result + (text(stage.details) ? ' \u2014 ' + text(stage.details) : '');
      box.appendChild(mark);
    });
    var status = text(c.status);
    if (status === 'crashed' || status === 'timed out' || status === 'blocked') {
      var where = text(c.stage).split(' ')[0] || '?', bad = el('span', 'mark mark-' + status.replace(/[^a-z]+/g, '-'), where);
      bad.title = text(c.verdict);
      box.appendChild(bad);
    }
    var cell = el('div');
    cell.appendChild(box);
    cell.appendChild(el('div', 'verdict', status === 'passed' ? 'passed' : status + (text(c.stage) ? ' in ' + text(c.stage) : '')));
    return cell;
  }
  // The real-time load: a file is sorted by its heaviest plug-in.
  function load(record, file) {
    var most = -1;
    (file ? plugins(record) : [record]).forEach(function (r) {
      var c = check(r);
      if (c && typeof c.load === 'number' && c.load > most) most = c.load;
    });
    return most;
  }
  if (anyCheck) {
    columns.splice(1, 0,
      { title: 'Check', value: function (r, file) { return checkRank(r, file); }, cell: checkMarks },
      { title: 'Load (%)', value: function (r, file) { return load(r, file); },
        cell: function (r) { var c = check(r); return document.createTextNode(c && typeof c.load === 'number' ? c.load.toFixed(1) : ''); } });
  }
  var groups = data.plugins.map(function (record) { return { record: record, file: fileName(record.path) }; });
  var sortColumn = 0, sortUp = true;
  var collator = new Intl.Collator(undefined, { numeric: true, sensitivity: 'base' });

  // Each group's key is taken once per sort: ten thousand files sort in a blink.
  function sorted() {
    groups.forEach(function (group) { group.key = columns[sortColumn].value(group.record, true); });
    return groups.slice().sort(function (a, b) {
      var order = typeof a.key === 'number' && typeof b.key === 'number' ? a.key - b.key : collator.compare(String(a.key), String(b.key));
      if (order === 0) order = collator.compare(a.file, b.file);
      return sortUp ? order : -order;
    });
  }

  function row(record, file, parent) {
    var tr = el('tr', file ? 'file' : 'sub');
    columns.forEach(function (column) {
      var td = el('td', column.title === 'Name' ? 'name' : '');
      if (column.cell) td.appendChild(column.cell(record));
      else td.appendChild(breakable(text(column.value(record, file, parent))));
      tr.appendChild(td);
    });
    return tr;
  }

  function matches(record, status, search) {
    var subs = record.subPlugins || [];
    var statusOk = !status || text(record.status) === status || subs.some(function (s) { return text(s.status) === status; });
    if (!statusOk) return false;
    if (!search) return true;
    var haystack = [record.path, report(record).name, report(record).vendor, record.error, category(record)]
      .concat(subs.map(function (s) { return text(report(s).name) + ' ' + text(report(s).vendor); })).map(text).join(' ').toLowerCase();
    return haystack.indexOf(search) >= 0;
  }

  var statusFilter = el('select');
  statusFilter.appendChild(el('option', '', 'every status')).value = '';
  statuses.forEach(function (status) { statusFilter.appendChild(el('option', '', status)).value = status; });
  var search = el('input');
  search.type = 'search';
  search.placeholder = 'Search names, vendors, paths';
  var table = el('table'), head = el('thead'), body = el('tbody');
  var headRow = el('tr');
  columns.forEach(function (column, index) {
    var th = el('th', '', column.title);
    th.addEventListener('click', function () {
      if (sortColumn === index) sortUp = !sortUp; else { sortColumn = index; sortUp = true; }
      render();
    });
    headRow.appendChild(th);
  });
  head.appendChild(headRow);
  table.appendChild(head);
  table.appendChild(body);

  function render() {
    Array.prototype.forEach.call(headRow.children, function (th, index) {
      th.className = index === sortColumn ? (sortUp ? 'sorted-up' : 'sorted-down') : '';
    });
    while (body.firstChild) body.removeChild(body.firstChild);
    var wanted = statusFilter.value, words = search.value.trim().toLowerCase();
    var rows = document.createDocumentFragment();
    sorted().forEach(function (group) {
      if (!matches(group.record, wanted, words)) return;
      rows.appendChild(row(group.record, true));
      (group.record.subPlugins || []).forEach(function (sub) { rows.appendChild(row(sub, false, group.record)); });
    });
    body.appendChild(rows);
  }
  statusFilter.addEventListener('change', render);
  search.addEventListener('input', render);

  // The summary: counts per status, per machine, per format when there are several.
  var main = document.getElementById('page');
  main.appendChild(el('h1', '', 'Plug-in scan report'));
  var when = text(data.generated);
  // Every plug-in counts: a module's, a shell's, and the one of a plain VST 2 file.
  var pluginCount = data.plugins.reduce(function (sum, record) {
    return sum + (record.subPlugins && record.subPlugins.length ? record.subPlugins.length : isModule(record) || record.subPlugins ? 0 : 1);
  }, 0);
  main.appendChild(el('div', 'meta', data.plugins.length + ' files, ' + pluginCount + ' plug-ins in them' + (when ? ', ' + when : '') +
    (typeof data.scanSeconds === 'number' ? ', scanned in ' + data.scanSeconds.toFixed(1) + ' s' : '')));
  function countBy(name, key) {
    var counts = {};
    data.plugins.forEach(function (record) {
      // Files and the plug-ins in them are counted apart.
      var values = key === 'status' ? [text(record.status)]
                 : key === 'plugins' ? (record.subPlugins || []).map(function (s) { return text(s.status); })
                 : [text(record[key]) || (key === 'format' ? 'vst2' : 'none')];
      values.forEach(function (value) { counts[value] = (counts[value] || 0) + 1; });
    });
    var names = Object.keys(counts);
    if (key !== 'status' && key !== 'plugins' && names.length < 2) return;
    if (key === 'plugins' && names.length === 0) return;
    var line = el('div', 'counts');
    line.appendChild(el('strong', '', name));
    names.sort(function (a, b) { return rank(a) - rank(b) || a.localeCompare(b); })
      .forEach(function (value) {
        var box = el('span', 'count');
        if (key === 'status' || key === 'plugins') box.appendChild(statusBadge(value)); else box.appendChild(el('span', '', value));
        box.appendChild(el('span', '', ' ' + counts[value]));
        line.appendChild(box);
      });
    main.appendChild(line);
  }
  countBy('Files', 'status');
  countBy('Plug-ins in them', 'plugins');
  if (anyCheck) {
    var checkCounts = {}, line = el('div', 'counts');
    data.plugins.forEach(function (record) {
      plugins(record).forEach(function (r) { var c = check(r); if (c) checkCounts[text(c.status)] = (checkCounts[text(c.status)] || 0) + 1; });
    });
    line.appendChild(el('strong', '', 'Checks'));
    function order(status) { return Object.prototype.hasOwnProperty.call(checkOrder, status) ? checkOrder[status] : 9; }
    Object.keys(checkCounts).sort(function (a, b) { return order(a) - order(b); }).forEach(function (status) {
      var box = el('span', 'count');
      box.appendChild(el('span', 'mark mark-' + status.replace(/[^a-z]+/g, '-'), status));
      box.appendChild(el('span', '', ' ' + checkCounts[status]));
      line.appendChild(box);
    });
    main.appendChild(line);
  }
  countBy('Machine', 'arch');
  countBy('Format', 'format');

  var controls = el('div', 'controls');
  controls.appendChild(el('label', '', 'Status '));
  controls.appendChild(statusFilter);
  controls.appendChild(search);
  main.appendChild(controls);
  main.appendChild(table);
  render();

  // What went wrong, for every file or plug-in that did not come out ok.
  var details = [];
  data.plugins.forEach(function (record) {
    if (isProblem(record)) details.push({ record: record, title: fileName(record.path) });
    (record.subPlugins || []).forEach(function (sub) {
      if (isProblem(sub)) details.push({ record: sub, title: fileName(record.path) + ' > ' + text(sub.id) });
    });
  });
  // A check that did not pass is told like a scan that did not: its own section, its verdict.
  data.plugins.forEach(function (record) {
    plugins(record).forEach(function (r) {
      var c = check(r);
      if (!c || text(c.status) === 'passed') return;
      var who = r === record ? fileName(record.path) : fileName(record.path) + ' > ' + text(r.id);
      var shown = {};
      Object.keys(c).forEach(function (key) { shown[key] = c[key]; });
      shown.status = text(c.status);
      shown.error = text(c.verdict);
      shown.isCheck = true;
      details.push({ record: shown, title: who + ' (check)' });
    });
  });
  details.sort(function (a, b) { return rank(text(a.record.status)) - rank(text(b.record.status)); });
  if (details.length) main.appendChild(el('h2', '', 'What went wrong'));
  details.forEach(function (item) {
    var record = item.record, box = el('section', 'detail');
    var heading = el('h3');
    heading.appendChild(statusBadge(record.status));
    heading.appendChild(el('span', '', ' ' + item.title));
    box.appendChild(heading);
    var list = el('dl');
    function field(name, value) {
      if (value === undefined || value === null || value === '') return;
      list.appendChild(el('dt', '', name));
      list.appendChild(el('dd', '', value));
    }
    field(record.isCheck ? 'Verdict' : 'Error', text(record.error));
    if (record.isCheck) {
      (Array.isArray(record.stages) ? record.stages : []).forEach(function (stage) {
        if (text(stage.result) !== 'passed') field(text(stage.stage), text(stage.result) + (text(stage.details) ? ': ' + text(stage.details) : ''));
      });
      if (typeof record.load === 'number') field('Real-time load', record.load.toFixed(1) + '% of one core');
    }
    field('Exception', text(record.exception));
    field('In library', text(record.faultModule));
    if (typeof record.exitCode === 'number') field('Exit code', record.exitCode);
    field('Dump', text(record.dump));
    field('File', text(record.path || record.request));
    box.appendChild(list);
    if (text(record.console)) {
      box.appendChild(el('div', '', 'What it printed' + (record.consoleDropped ? ' (' + record.consoleDropped + ' more bytes not kept)' : '') + ':'));
      box.appendChild(el('pre', '', record.console));
    }
    if (Array.isArray(record.lastTrace) && record.lastTrace.length) {
      box.appendChild(el('div', '', 'Its last steps:'));
      box.appendChild(el('pre', '', record.lastTrace.map(text).join('\n')));
    }
    (Array.isArray(record.dialogs) ? record.dialogs : []).forEach(function (dialog) {
      var part = el('div', 'dialog');
      part.appendChild(el('strong', '', 'Dialog "' + text(dialog.title) + '"' + (dialog.action ? ' (' + text(dialog.action) + ')' : '')));
      (Array.isArray(dialog.texts) ? dialog.texts : []).forEach(function (line) { part.appendChild(el('div', '', text(line))); });
      if (Array.isArray(dialog.buttons) && dialog.buttons.length) part.appendChild(el('div', '', 'Buttons: ' + dialog.buttons.map(text).join(', ')));
      var picture = text(dialog.pictureData);
      if (picture.indexOf('data:image/png;base64,') === 0) {
        var image = el('img');
        image.alt = 'The dialog as it was shown';
        image.src = picture;
        part.appendChild(image);
      } else if (text(dialog.pictureError || dialog.pictureProblem)) {
        part.appendChild(el('div', '', text(dialog.pictureError || dialog.pictureProblem)));
      }
      box.appendChild(part);
    });
    main.appendChild(box);
  });
  main.appendChild(el('p', 'footnote', '* MIDI: "in" means the plug-in does not refuse MIDI input, not that it uses MIDI: ' +
    'about 80% of real VST 2 plug-ins answer "don\'t know" before they are opened, which counts as yes. ' +
    '"out" likewise for MIDI output. For VST 3 and CLAP plug-ins, the flags come from their event buses and note ports.'));
})();
)JS";
