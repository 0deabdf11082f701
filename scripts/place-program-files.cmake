# Run after each build of the executable: fills the program folder DEST from SOURCE (resources/).
# The sample catalogue is placed only when the program folder holds no scripts file, and no file
# already there is ever overwritten: the operator's configuration always wins.
file(MAKE_DIRECTORY ${DEST}/Config)

if(NOT EXISTS ${DEST}/Config/Sensors.ini)
  file(GLOB_RECURSE sample_files RELATIVE ${SOURCE}/sample ${SOURCE}/sample/*)
  foreach(f IN LISTS sample_files)
    if(EXISTS ${DEST}/${f})
      continue()
    endif()
    get_filename_component(dir ${DEST}/${f} DIRECTORY)
    file(MAKE_DIRECTORY ${dir})
    # The program's text files are Windows-1251 with CR LF line ends; the sources are UTF-8 with LF.
    file(READ ${SOURCE}/sample/${f} text)
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE ${DEST}/${f}.utf8 "${text}")
    execute_process(COMMAND iconv -f UTF-8 -t CP1251 ${DEST}/${f}.utf8
                    OUTPUT_FILE ${DEST}/${f} RESULT_VARIABLE rc)
    file(REMOVE ${DEST}/${f}.utf8)
    if(NOT rc EQUAL 0)
      file(REMOVE ${DEST}/${f})
      message(FATAL_ERROR "Cannot convert ${f} to Windows-1251")
    endif()
  endforeach()
endif()

file(COPY ${SOURCE}/help/ DESTINATION ${DEST}/Help)
