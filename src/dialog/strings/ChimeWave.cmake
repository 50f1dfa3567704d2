# Writes stagehand's chime, the sound PlayPDSound plays, as the user-defined resource
# WAVE 2000 of an .rc file: a complete RIFF/WAVE file, PCM, mono, 22 050 samples per
# second, 16 bits, 13 902 samples (27 804 data bytes, 27 848 bytes in all).
#
# The chime is a rising C major arpeggio (C6, E6, G6), each note a soft bell tone: a
# fundamental and a quieter octave, a 3 ms attack and an exponential decay, with a short
# fade at the end so the sound stops without a click. Everything is computed here in
# 64-bit integer arithmetic (CMake has no other), so the build machine needs nothing
# but CMake:
#
#   cmake -DOUTPUT=<file.rc> -P ChimeWave.cmake
#
# Each partial is a digital resonator y[n] = 2cos(w) y[n-1] - y[n-2] started at
# y[0] = 0, y[1] = R sin(w), which yields R sin(w n); coefficients are fixed-point with
# 30 fraction bits.
if(NOT OUTPUT)
  message(FATAL_ERROR "ChimeWave.cmake: set OUTPUT to the .rc file to write")
endif()

set(RATE 22050)
set(SAMPLES 13902)
set(ONE 1073741824)          # 1.0 with 30 fraction bits
set(HALF 536870912)
set(RESONATOR_AMPLITUDE 1048576)  # R: resonator output range +-2^20

# sin and cos of the angle step of a frequency given in millihertz, by their Taylor
# series (the largest step here is under 1 radian, where 9 terms are exact to 1e-7).
function(angle_step millihertz out_cos out_sin)
  # 2 pi * 2^30 = 6746518852.3
  math(EXPR x "6746518852 * ${millihertz} / (1000 * ${RATE})")
  math(EXPR x2 "(${x} * ${x}) >> 30")
  math(EXPR x4 "(${x2} * ${x2}) >> 30")
  math(EXPR x6 "(${x4} * ${x2}) >> 30")
  math(EXPR x8 "(${x4} * ${x4}) >> 30")
  math(EXPR c "${ONE} - ${x2} / 2 + ${x4} / 24 - ${x6} / 720 + ${x8} / 40320")
  math(EXPR x3 "(${x2} * ${x}) >> 30")
  math(EXPR x5 "(${x4} * ${x}) >> 30")
  math(EXPR x7 "(${x6} * ${x}) >> 30")
  math(EXPR x9 "(${x8} * ${x}) >> 30")
  math(EXPR s "${x} - ${x3} / 6 + ${x5} / 120 - ${x7} / 5040 + ${x9} / 362880")
  set(${out_cos} ${c} PARENT_SCOPE)
  set(${out_sin} ${s} PARENT_SCOPE)
endfunction()

# exp(-1 / (tau * RATE)) with 30 fraction bits, the per-sample decay of a time
# constant given in milliseconds (1 - x + x^2/2 - x^3/6 for the small x here).
function(decay_factor tau_ms out)
  math(EXPR n "${tau_ms} * ${RATE} / 1000")
  math(EXPR d "${ONE} - ${ONE} / ${n} + ${ONE} / (2 * ${n} * ${n}) - ${ONE} / (6 * ${n} * ${n} * ${n})")
  set(${out} ${d} PARENT_SCOPE)
endfunction()

# The notes: onset (samples), fundamental (millihertz), peak amplitude (of 32767) and
# decay time constant (milliseconds). The octave partial has a third of the amplitude
# and decays twice as fast. The amplitudes sum to at most 3 * 1.34 * 7800 < 32767, so
# no sample can clip.
set(NOTES 0 1 2)
set(NOTE0 0    1046502 7800 170)
set(NOTE1 1985 1318510 7000 170)
set(NOTE2 3969 1567982 7000 190)
set(ATTACK 66)   # 3 ms
set(FADE 662)    # the last 30 ms fade out linearly

foreach(k IN LISTS NOTES)
  list(GET NOTE${k} 0 onset${k})
  list(GET NOTE${k} 1 freq)
  list(GET NOTE${k} 2 amp${k})
  list(GET NOTE${k} 3 tau)
  math(EXPR octave "2 * ${freq}")
  angle_step(${freq} c${k}a s)
  math(EXPR first${k}a "(${RESONATOR_AMPLITUDE} * ${s}) >> 30")
  angle_step(${octave} c${k}b s)
  math(EXPR first${k}b "(${RESONATOR_AMPLITUDE} * ${s}) >> 30")
  decay_factor(${tau} d${k})
  # Resonator state: y1 the last value, y2 the one before; envelope e (1.0 = ONE),
  # the octave's envelope is e squared.
  set(y1${k}a 0)
  set(y2${k}a 0)
  set(y1${k}b 0)
  set(y2${k}b 0)
  set(e${k} ${ONE})
endforeach()

# The file header as little-endian 16-bit words, the unit of RC raw data.
set(words "")
function(tag_words tag)
  string(HEX "${tag}" h)
  string(SUBSTRING "${h}" 0 2 b0)
  string(SUBSTRING "${h}" 2 2 b1)
  string(SUBSTRING "${h}" 4 2 b2)
  string(SUBSTRING "${h}" 6 2 b3)
  set(words ${words} "0x${b1}${b0}" "0x${b3}${b2}" PARENT_SCOPE)
endfunction()
function(dword_words value)
  math(EXPR lo "${value} & 65535" OUTPUT_FORMAT HEXADECIMAL)
  math(EXPR hi "(${value} >> 16) & 65535" OUTPUT_FORMAT HEXADECIMAL)
  set(words ${words} ${lo} ${hi} PARENT_SCOPE)
endfunction()
function(word_words value)
  math(EXPR w "${value} & 65535" OUTPUT_FORMAT HEXADECIMAL)
  set(words ${words} ${w} PARENT_SCOPE)
endfunction()

math(EXPR data_bytes "${SAMPLES} * 2")
math(EXPR riff_bytes "4 + (8 + 16) + (8 + ${data_bytes})")
tag_words("RIFF")
dword_words(${riff_bytes})
tag_words("WAVE")
tag_words("fmt ")
dword_words(16)
word_words(1)               # PCM
word_words(1)               # mono
dword_words(${RATE})
math(EXPR byte_rate "${RATE} * 2")
dword_words(${byte_rate})
word_words(2)               # bytes per sample frame
word_words(16)              # bits per sample
tag_words("data")
dword_words(${data_bytes})

math(EXPR last "${SAMPLES} - 1")
math(EXPR fade_start "${SAMPLES} - ${FADE}")
foreach(n RANGE 0 ${last})
  set(sum "0")
  foreach(k IN LISTS NOTES)
    math(EXPR age "${n} - ${onset${k}}")
    if(age LESS 0)
      continue()
    endif()
    if(age EQUAL 1)
      set(y1${k}a ${first${k}a})
      set(y1${k}b ${first${k}b})
      set(y2${k}a 0)
      set(y2${k}b 0)
    elseif(age GREATER 1)
      math(EXPR ya "((${c${k}a} * 2 * ${y1${k}a} + ${HALF}) >> 30) - ${y2${k}a}")
      math(EXPR yb "((${c${k}b} * 2 * ${y1${k}b} + ${HALF}) >> 30) - ${y2${k}b}")
      set(y2${k}a ${y1${k}a})
      set(y2${k}b ${y1${k}b})
      set(y1${k}a ${ya})
      set(y1${k}b ${yb})
      math(EXPR e${k} "(${e${k}} * ${d${k}} + ${HALF}) >> 30")
    endif()
    # gain = amplitude * envelope * attack ramp, applied to the +-2^20 resonator output.
    if(age LESS ATTACK)
      set(ramp "${age} / ${ATTACK}")
    else()
      set(ramp "1")
    endif()
    string(APPEND sum " + ((${amp${k}} * ${e${k}} >> 15) * (${y1${k}a} + ((${y1${k}b} * ${e${k}} >> 30) / 3)) >> 35) * ${ramp}")
  endforeach()
  if(n GREATER_EQUAL fade_start)
    math(EXPR left "${SAMPLES} - 1 - ${n}")
    set(sum "(${sum}) * ${left} / ${FADE}")
  endif()
  math(EXPR sample "(${sum}) & 65535" OUTPUT_FORMAT HEXADECIMAL)
  list(APPEND words ${sample})
endforeach()

list(LENGTH words count)
math(EXPR expected "(44 + ${data_bytes}) / 2")
if(NOT count EQUAL expected)
  message(FATAL_ERROR "ChimeWave.cmake: ${count} words instead of ${expected}")
endif()

# Eight words to a line.
set(body "")
set(line "")
set(i 0)
foreach(w IN LISTS words)
  string(APPEND line " ${w},")
  math(EXPR i "${i} + 1")
  if(i EQUAL 8)
    string(APPEND body "${line}\n")
    set(line "")
    set(i 0)
  endif()
endforeach()
string(APPEND body "${line}")
string(REGEX REPLACE ",[ \n]*$" "\n" body "${body}")

file(WRITE "${OUTPUT}.tmp"
"// Generated by ChimeWave.cmake: the chime PlayPDSound plays (WAVE 2000).\n"
"LANGUAGE 0, 0\n"
"2000 WAVE\n"
"BEGIN\n"
"${body}"
"END\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
