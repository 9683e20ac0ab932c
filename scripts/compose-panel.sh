#!/usr/bin/env bash
# Draws docs/images/panel.png: the editor panel with every control at its
# parameter's default, composed from the committed images by the plug-in's own
# decoder, panel layout and controls. Installs what is missing.
source "$(dirname "$0")/common.sh"
prepare
configure_and_build native compose_panel
mkdir -p "$top/docs/images"
"$build/native/compose_panel" "$top/resources" "$top/docs/images/panel.png"
echo "wrote $top/docs/images/panel.png"
