# Checks the voice loop's objects, synth/voice_kernel.cpp compiled once per
# vector width (CMakeLists.txt), for what the other tests cannot see:
# - no fused multiply-add anywhere: every path must round as the others do;
# - in the wider ones, no aligned vector move: a host may call with a stack
#   aligned to less than the registers' width;
# - each object defines its loop and nothing else that the linker could
#   merge with a copy compiled for another target (a helper of the headers
#   left out of line, compiled for AVX-512, might otherwise serve the SSE2
#   path on a processor without it). A reference to the C++ runtime's
#   exception personality is data and may be shared.
# Run as: cmake -DNM=... -DOBJDUMP=... -DBASELINE=obj -DWIDE="obj;obj" -P voice_loop_objects.cmake
set(failures "")
foreach(object ${BASELINE} ${WIDE})
  get_filename_component(name "${object}" NAME)
  execute_process(COMMAND "${OBJDUMP}" -d --no-show-raw-insn "${object}" OUTPUT_VARIABLE code RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR code STREQUAL "")
    list(APPEND failures "${object}: cannot disassemble")
    continue()
  endif()
  if(code MATCHES "vfn?m(add|sub)")
    list(APPEND failures "${object}: fused multiply-add (${CMAKE_MATCH_0})")
  endif()
  list(FIND WIDE "${object}" wide)
  if(wide GREATER -1 AND code MATCHES "vmova[a-z0-9]*|vmovnt[a-z]*|[ \t]movap[sd]|[ \t]movdqa")
    list(APPEND failures "${object}: aligned vector move (${CMAKE_MATCH_0})")
  endif()
  execute_process(COMMAND "${NM}" --defined-only "${object}" OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
  string(REPLACE "\n" ";" symbols "${symbols}")
  set(loops 0)
  foreach(line ${symbols})
    # "address type name": lower-case types are local.
    if(NOT line MATCHES "^[0-9a-fA-F]* ([A-Z]) (.*)$")
      continue()
    endif()
    set(symbol "${CMAKE_MATCH_2}")
    if(symbol MATCHES "voiceLoop(Sse2|Avx2|Avx512)")
      math(EXPR loops "${loops} + 1")
    elseif(NOT symbol MATCHES "^(\\.refptr\\.)?DW\\.ref\\.__gxx_personality")
      list(APPEND failures "${object}: shared symbol ${symbol}")
    endif()
  endforeach()
  if(NOT loops EQUAL 1)
    list(APPEND failures "${object}: ${loops} voice loops defined, not one")
  endif()
endforeach()
if(failures)
  string(REPLACE ";" "\n" failures "${failures}")
  message(FATAL_ERROR "${failures}")
endif()
message(STATUS "voice loop objects: no fused multiply-add, no aligned moves in the wide ones, nothing shared")
