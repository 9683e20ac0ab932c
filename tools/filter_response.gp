# Plots the filter responses written by measure_filter: one panel per type,
# colour for the cutoff, line style for the resonance.
# Call: gnuplot -e "datadir='...'; outfile='...'" tools/filter_response.gp
set terminal pngcairo size 1000,1100 font "DejaVu Sans,10"
set output outfile
set multiplot layout 3,1 title "Filter magnitude response at 44.1 kHz (filter stepped at 88.2 kHz), impulse level 0.01: saturator linear"
set logscale x
set xrange [20:22050]
set yrange [-60:30]
set xtics ("20" 20, "50" 50, "100" 100, "200" 200, "500" 500, "1k" 1000, "2k" 2000, "5k" 5000, "10k" 10000, "20k" 20000)
set ytics 10
set grid
set ylabel "Gain (dB)"
set key outside right top

# Columns 2..10: cutoffs 200 Hz, 1 kHz, 5 kHz, each at Q 0, 0.5, 0.9.
colours = "#1f4e9c #c0392b #2e8b57"
widths = "1.6 1.6 2.2"
dashes = "3 2 1"
qs = "0 0.5 0.9"

do for [t in "lp4 lp2 bp"] {
  set title (t eq "lp4" ? "LP4 (four-stage ladder)" : t eq "lp2" ? "LP2 (two-stage)" : "BP (ladder band-pass mix)")
  if (t eq "bp") { set xlabel "Frequency (Hz)" }
  plot for [i=0:8] sprintf("%s/%s.dat", datadir, t) using 1:(column(i + 2)) with lines \
       lc rgb word(colours, i / 3 + 1) lw word(widths, i % 3 + 1) dt int(word(dashes, i % 3 + 1)) \
       title sprintf("%s, Q %s", (i / 3 == 0 ? "200 Hz" : i / 3 == 1 ? "1 kHz" : "5 kHz"), word(qs, i % 3 + 1))
}
unset multiplot
