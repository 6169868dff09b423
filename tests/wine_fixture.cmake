# Every Windows test runs under Wine in a throwaway prefix inside the build folder.
# The setup starts wineserver and the prefix's services detached from ctest's
# output pipe; otherwise ctest waits forever for the pipe to close.
if(NOT TEST win.wine_setup)
  add_test(NAME win.wine_setup COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-setup.sh ${RW_WINEPREFIX})
  add_test(NAME win.wine_teardown COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-teardown.sh ${RW_WINEPREFIX})
  set_tests_properties(win.wine_setup PROPERTIES FIXTURES_SETUP wine TIMEOUT 300 LABELS windows)
  set_tests_properties(win.wine_teardown PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60 LABELS windows)
endif()
