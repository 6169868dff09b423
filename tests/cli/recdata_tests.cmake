# runwarden-recdata: exit codes, messages and the dump/compile round trip.
if(TARGET runwarden-recdata)
  set(RECDATA_PREFIX "cli.recdata")
  set(RECDATA_WORK ${CMAKE_CURRENT_BINARY_DIR}/recdata)
  set(RECDATA_SAMPLE ${CMAKE_CURRENT_SOURCE_DIR}/recdata_sample.txt)

  # recdata_case(NAME CODE STDOUT_REGEX STDERR_REGEX ARGS...): one run of the tool
  # in a fresh folder holding the sample text as maps.txt.
  function(recdata_case name code out_regex err_regex)
    string(JOIN "|" args ${ARGN})
    add_test(NAME ${RECDATA_PREFIX}.${name}
      COMMAND ${CMAKE_COMMAND}
        -DTOOL=$<TARGET_FILE:runwarden-recdata>
        -DWORK=${RECDATA_WORK}/${name}
        -DSAMPLE=${RECDATA_SAMPLE}
        -DARGS=${args}
        -DEXPECT_CODE=${code}
        -DEXPECT_STDOUT=${out_regex}
        -DEXPECT_STDERR=${err_regex}
        -P ${CMAKE_CURRENT_SOURCE_DIR}/recdata_case.cmake)
    set_tests_properties(${RECDATA_PREFIX}.${name} PROPERTIES TIMEOUT 120)
  endfunction()

  recdata_case(help 0 "compile MAPS.txt -o RecData.dat.*map kz_cave" "^$" --help)
  recdata_case(no_command 2 "^$" "no command.*usage:")
  recdata_case(unknown_command 2 "^$" "unknown command 'frob'" frob)
  recdata_case(compile_needs_output 2 "^$" "compile needs -o" compile maps.txt)
  recdata_case(compile_bad_revision 2 "^$" "--revision takes a whole number" compile maps.txt -o R.dat --revision x1)
  recdata_case(compile_needs_revision 2 "^$" "no revision" compile maps.txt -o R.dat)
  recdata_case(compile_unknown_option 2 "^$" "unknown option --force" compile maps.txt -o R.dat --force)
  recdata_case(compile_missing_input 1 "^$" "missing.txt: error: cannot read" compile missing.txt -o R.dat --revision 1)
  recdata_case(compile_bad_text 1 "^$" "bad.txt:4: error: 'zz' is not hex" compile bad.txt -o R.dat --revision 1)
  recdata_case(compile_warns 0 "R.dat: revision 7, format 2, 3 maps" "maps.txt:[0-9]+: warning: mode 9 detects nothing"
    compile maps.txt -o R.dat --revision=7)
  recdata_case(dump_not_records 1 "^$" "maps.txt: error: checksum mismatch" dump maps.txt)
  recdata_case(dump_missing 1 "^$" "missing.dat: error: cannot read" dump missing.dat)
  recdata_case(round_trip 0 "" "" ROUND_TRIP)
endif()
