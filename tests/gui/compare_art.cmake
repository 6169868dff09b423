# Regenerates the program's art into OUT_DIR and compares it with src/app/res.
file(REMOVE_RECURSE ${OUT_DIR})
execute_process(COMMAND ${PYTHON} ${SOURCE_DIR}/tools/make_app_art.py ${OUT_DIR} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "make_app_art.py failed: ${rc}")
endif()
foreach(name background.bmp runwarden.ico)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT_DIR}/${name} ${SOURCE_DIR}/src/app/res/${name}
                  RESULT_VARIABLE differs)
  if(NOT differs EQUAL 0)
    message(FATAL_ERROR "src/app/res/${name} differs from what tools/make_app_art.py draws")
  endif()
endforeach()
