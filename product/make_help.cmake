# Writes the sample product's help.bin: a few hundred KB of help topics, the same bytes on
# every run (seeded pseudo-random text). Run with cmake -DOUT=path -P make_help.cmake.
if(NOT OUT)
  message(FATAL_ERROR "make_help.cmake: pass -DOUT=<file>")
endif()

set(_words "compare;search;folder;file;line;block;report;merge;filter;option;window;toolbar")
list(APPEND _words "expression;workspace;clone;undo;difference;match;print;preview;setting;text")
list(LENGTH _words _nwords)
set(_help "CORVANE HELP 6.1\r\n")
foreach(topic RANGE 1 1400)
  math(EXPR _w1 "(${topic} * 7) % ${_nwords}")
  math(EXPR _w2 "(${topic} * 13 + 5) % ${_nwords}")
  list(GET _words ${_w1} _a)
  list(GET _words ${_w2} _b)
  string(RANDOM LENGTH 160 ALPHABET "abcdefghijklmnopqrstuvwxyz      .,ABCDEFGHIJ0123456789"
         RANDOM_SEED ${topic} _body)
  string(APPEND _help "#TOPIC ${topic}: ${_a} and ${_b}\r\n${_body}\r\nSee also: topic ")
  math(EXPR _see "(${topic} * 31) % 1400 + 1")
  string(APPEND _help "${_see}\r\n\r\n")
endforeach()
file(WRITE "${OUT}" "${_help}")
