# Every C++ source of the tree is as the project's .clang-format lays it out.
# Run with -DROOT=<source folder> -DCLANG_FORMAT=<program>.
file(GLOB_RECURSE sources ${ROOT}/src/*.cpp ${ROOT}/src/*.h ${ROOT}/tests/*.cpp ${ROOT}/tests/*.h
  ${ROOT}/bench/*.cpp ${ROOT}/bench/*.h ${ROOT}/fuzz/*.cpp ${ROOT}/fuzz/*.h ${ROOT}/demo/*.cpp ${ROOT}/demo/*.h
  ${ROOT}/packaging/*.cpp ${ROOT}/packaging/*.h)
execute_process(COMMAND ${CLANG_FORMAT} --style=file --dry-run --Werror ${sources}
  WORKING_DIRECTORY ${ROOT} RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "Files differ from .clang-format (run clang-format -i on them):\n${errors}")
endif()
