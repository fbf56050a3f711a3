# cmake -DIN=... -DOUT=... -P text_for_windows.cmake: writes the UTF-8 text
# file IN as OUT in CP932 with CR LF line ends.
file(READ ${IN} text)
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUT}.utf8 "${text}")
execute_process(COMMAND iconv -f UTF-8 -t CP932 ${OUT}.utf8 OUTPUT_FILE ${OUT} RESULT_VARIABLE failed)
file(REMOVE ${OUT}.utf8)
if(failed)
  message(FATAL_ERROR "iconv cannot write ${IN} in CP932")
endif()
