#!/usr/bin/env bash
# Renders a paper-roll page (tiv paper --html / tiv demo --html) to a PNG with headless
# Chromium, for the documentation. Chromium is needed here only; the test suite never calls
# this script.
#   scripts/paper_png.sh PAGE.html IMAGE.png [HEIGHT]
# HEIGHT (pixels) keeps only the top of a long roll, to keep an image for the docs small.
set -euo pipefail

if [[ $# -lt 2 || $# -gt 3 || ! ${3:-1} =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 PAGE.html IMAGE.png [HEIGHT]" >&2
    exit 2
fi
page=$1
image=$2
if [[ ! -f $page ]]; then
    echo "$0: no such page: $page" >&2
    exit 2
fi

browser=""
for name in chromium chromium-browser google-chrome; do
    if command -v "$name" >/dev/null 2>&1; then
        browser=$name
        break
    fi
done
if [[ -z $browser ]]; then
    echo "$0: Chromium is not installed (apt-get install chromium): no image made" >&2
    exit 3
fi

# Headless Chromium shoots the window, not the whole page: the window is made as tall as the
# roll, from its lines (1.3 em of 13 px each) and its documents (padding and the cut between).
lines=$(grep -c '<div class="ln' "$page" || true)
docs=$(grep -c '<section ' "$page" || true)
height=${3:-$((lines * 17 + docs * 46 + 90))}
width=480

# Chromium writes the image itself; a temporary name keeps a failed run from leaving half of one.
dir=$(cd "$(dirname "$image")" && pwd)
tmp=$(mktemp "$dir/.paper-XXXXXX.png")
trap 'rm -f "$tmp"' EXIT
# The page fetches nothing; a sandbox needs user namespaces a container may lack.
"$browser" --headless --disable-gpu --no-sandbox --hide-scrollbars --mute-audio \
    --no-first-run --disable-extensions --force-device-scale-factor=1 \
    --window-size="$width,$height" --screenshot="$tmp" \
    "file://$(cd "$(dirname "$page")" && pwd)/$(basename "$page")" >/dev/null 2>&1 || {
    echo "$0: $browser could not render $page" >&2
    exit 1
}
if [[ ! -s $tmp ]]; then
    echo "$0: $browser wrote no image" >&2
    exit 1
fi
chmod 644 "$tmp"
mv "$tmp" "$image"
trap - EXIT
echo "$image: ${width}x${height}"
