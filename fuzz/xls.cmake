# libFuzzer target for the .xls reader. Included from fuzz/CMakeLists.txt,
# which instruments foresyn_core and defines foresyn_add_fuzzer.
# Seeds: any .xls files, and their bare Workbook streams (the target wraps
# input that is no compound file in one).
foresyn_add_fuzzer(fuzz_xls_reader ${CMAKE_CURRENT_LIST_DIR}/fuzz_xls_reader.cpp)
