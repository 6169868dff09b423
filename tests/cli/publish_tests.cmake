# runwarden-publish: exit codes, messages and the files it lays out.
if(TARGET runwarden-publish AND TARGET runwarden-recdata)
  set(PUBLISH_PREFIX "cli.publish")

  # publish_case(NAME CODE STDOUT_REGEX STDERR_REGEX FILES ARGS...): one run in a
  # fresh folder holding prog.exe, notes.txt, RecData.dat (revision 5), bad.dat
  # (its checksum broken) and demos.txt. FILES lists the files the run must
  # leave under srv/ and list/ ("-" for none), separated by '|'.
  function(publish_case name code out_regex err_regex files)
    string(JOIN "|" args ${ARGN})
    add_test(NAME ${PUBLISH_PREFIX}.${name}
      COMMAND ${CMAKE_COMMAND}
        -DTOOL=$<TARGET_FILE:runwarden-publish>
        -DRECDATA=$<TARGET_FILE:runwarden-recdata>
        -DWORK=${CMAKE_CURRENT_BINARY_DIR}/publish/${name}
        -DSAMPLE=${CMAKE_CURRENT_SOURCE_DIR}/recdata_sample.txt
        -DARGS=${args}
        -DEXPECT_CODE=${code}
        -DEXPECT_STDOUT=${out_regex}
        -DEXPECT_STDERR=${err_regex}
        -DEXPECT_FILES=${files}
        -P ${CMAKE_CURRENT_SOURCE_DIR}/publish_case.cmake)
    set_tests_properties(${PUBLISH_PREFIX}.${name} PROPERTIES TIMEOUT 120)
  endfunction()

  set(release_files "srv/intern/Runwarden/changelog.txt|srv/intern/Runwarden/x64/Runwarden.exe|srv/intern/Runwarden/x64/UpdateData.dat")
  publish_case(help 0 "release --program FILE.*records \\[--recdata FILE" "^$" - --help)
  publish_case(no_command 2 "^$" "no command.*usage:" -)
  publish_case(unknown_command 2 "^$" "unknown command 'frob'" - frob)
  publish_case(release_needs_changelog 2 "^$" "release needs --changelog" - release --program prog.exe --version 16 --out srv)
  publish_case(release_bad_version 2 "^$" "--version takes a whole number" - release --program prog.exe --version=16x --changelog notes.txt --out srv)
  publish_case(release_unknown_option 2 "^$" "unknown option --force" - release --force)
  publish_case(release_missing_program 1 "^$" "missing.exe: error: cannot read the program file" -
    release --program missing.exe --version 16 --changelog notes.txt --out srv)
  publish_case(release 0 "release: version 16, program 9 bytes, CRC-32 02B3B70A, change log 21 bytes" "^$" "${release_files}"
    release --program prog.exe --version 16 --changelog notes.txt --out srv)
  publish_case(records 0 "RecData.dat: revision 5, 3 maps, 77 bytes\ndemos_tcl.txt: 2 runs, [0-9]+ bytes, 1 for maps RecData.dat does not hold"
    "demos.txt: warning: line 4 holds no map name" "srv/intern/Runwarden/RecData.dat|list/demos_tcl.txt"
    records --recdata RecData.dat --runs demos.txt --out srv --list-out list)
  publish_case(records_list_only 0 "demos_tcl.txt: 2 runs" "" "list/demos_tcl.txt" records --runs demos.txt --list-out list)
  publish_case(records_bad_checksum 1 "^$" "bad.dat: error: checksum mismatch" - records --recdata bad.dat --out srv)
  publish_case(records_list_out_needs_runs 2 "^$" "--list-out needs --runs" - records --recdata RecData.dat --out srv --list-out list)
  publish_case(records_recdata_needs_out 2 "^$" "--recdata needs --out" - records --recdata RecData.dat)
endif()
