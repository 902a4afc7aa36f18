file(GLOB_RECURSE files
  ${SOURCE_DIR}/platform/*.cpp ${SOURCE_DIR}/platform/*.h ${SOURCE_DIR}/model/*.cpp ${SOURCE_DIR}/model/*.h
  ${SOURCE_DIR}/overlay/*.cpp ${SOURCE_DIR}/overlay/*.h ${SOURCE_DIR}/tray/*.cpp ${SOURCE_DIR}/tray/*.h
  ${SOURCE_DIR}/recorder/*.cpp ${SOURCE_DIR}/recorder/*.h ${SOURCE_DIR}/avi/*.cpp ${SOURCE_DIR}/avi/*.h
  ${SOURCE_DIR}/editor/*.cpp ${SOURCE_DIR}/editor/*.h ${SOURCE_DIR}/settings/*.cpp ${SOURCE_DIR}/settings/*.h
  ${SOURCE_DIR}/cursors/*.cpp ${SOURCE_DIR}/cursors/*.h ${SOURCE_DIR}/dialogs/*.cpp ${SOURCE_DIR}/dialogs/*.h
  ${SOURCE_DIR}/pickers/*.cpp ${SOURCE_DIR}/pickers/*.h ${SOURCE_DIR}/tools/*.cpp ${SOURCE_DIR}/tools/*.h
  ${SOURCE_DIR}/tests/*.cpp ${SOURCE_DIR}/tests/*.h
  ${SOURCE_DIR}/bench/*.cpp ${SOURCE_DIR}/bench/*.h ${SOURCE_DIR}/fuzz/*.cpp ${SOURCE_DIR}/fuzz/*.h)
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${files} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "Unformatted files: run clang-format -i on the files named above")
endif()
