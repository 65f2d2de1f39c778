#!/usr/bin/env bash
# The dialog tests on a real X server, started and stopped here with a wineserver of its own.
# Usage: dialogs_on_xvfb.sh BIN_FOLDER
set -uo pipefail
bin=$1
here=$(cd "$(dirname "$0")/../.." && pwd)
. "$here/tests/display/xvfb_session.sh"
"$here/scripts/wine-run" "$bin/dialog_tests.exe"
