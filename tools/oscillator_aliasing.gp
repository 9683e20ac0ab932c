# Plots the band-limited and naive spectra written by measure_oscillators,
# both with the engine's noise floor cancelled.
# Call: gnuplot -e "datafile='...'; outfile='...'" tools/oscillator_aliasing.gp
set terminal pngcairo size 1000,500 font "DejaVu Sans,10"
set output outfile
set title "Osc2 Saw near 4 kHz at -20 dB through the engine at 44.1 kHz, noise cancelled: band-limited vs naive"
set xlabel "Frequency (Hz)"
set ylabel "Level relative to the fundamental (dB)"
set xrange [0:22050]
set yrange [-160:5]
set grid
set key top right
plot datafile using 1:3 with lines lw 1 lc rgb "#d08080" title "naive", \
     datafile using 1:2 with lines lw 1 lc rgb "#1f4e9c" title "band-limited"
