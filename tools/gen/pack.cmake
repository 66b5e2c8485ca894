# cmake -DPKF=pkf -DLIST=file.list -DOUT=pack.pkf -P pack.cmake
# Packs the files named in LIST (one path a line, in pack order) into OUT.
file(STRINGS ${LIST} files)
if(NOT files)
  message(FATAL_ERROR "${LIST} names no files")
endif()
execute_process(COMMAND ${PKF} create ${OUT} ${files} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "pkf create ${OUT} failed (${rc})")
endif()
