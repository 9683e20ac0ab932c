#!/usr/bin/env bash
# Redraws the editor's five images in resources/ (scripts/make-images.py) with
# Debian's Pillow and DejaVu fonts, installing them when missing.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/setup.sh"
/usr/bin/python3 "$top/scripts/make-images.py" "$top/resources"
