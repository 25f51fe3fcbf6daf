#!/usr/bin/env bash
# Takes docs/logo-window-gallery.png and docs/logo-window-page.png: the logo window under Xvfb on a
# virtual printer behind zelta-server that stores three logos, with two new logos added (the gallery,
# then the first new logo's page). The test that checks that window takes them when asked to.
#   docs/logo_window_screenshot.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
ZELTA_SCREENSHOT_DIR="$here" QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x800x24" \
  "$build/tests/memory_remote_tests" --gtest_filter='LogoFormRemoteTest.GalleryAndMemoryShowWhatThePrinterStores'
