#!/usr/bin/env bash
# Measures the voice filter in one command: builds the native measurement
# tool, prints its table of peaks and plots every type's magnitude response
# to docs/images/filter-response.png.
source "$(dirname "$0")/common.sh"
prepare
configure_and_build native measure_filter

data="$build/native/filter-response"
mkdir -p "$data" "$top/docs/images"
"$build/native/measure_filter" "$data"
gnuplot -e "datadir='$data'; outfile='$top/docs/images/filter-response.png'" \
  "$top/tools/filter_response.gp"
echo "wrote docs/images/filter-response.png"
