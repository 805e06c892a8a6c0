# Fails when a C++ file of the project differs from what clang-format makes of it.
# Run with -DCLANG_FORMAT=<program> -DSOURCE_DIR=<top of the tree>.
set(folders app bench console directory platform players schedule tests tools zonelink)
set(files)
foreach(folder IN LISTS folders)
  file(GLOB_RECURSE found "${SOURCE_DIR}/${folder}/*.cpp" "${SOURCE_DIR}/${folder}/*.h")
  list(APPEND files ${found})
endforeach()
list(LENGTH files count)
if(count EQUAL 0)
  message(FATAL_ERROR "no C++ files found under ${SOURCE_DIR}")
endif()
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${files}
                RESULT_VARIABLE result ERROR_VARIABLE diagnostics)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "files not formatted; run: clang-format -i on them\n${diagnostics}")
endif()
message(STATUS "${count} files follow .clang-format")
