# The .xls writer against python3-xlwt doing the same job (see bench_xls.cpp).
# Included from bench/CMakeLists.txt, where benchmark::benchmark is found.
add_executable(bench_xls ${CMAKE_CURRENT_LIST_DIR}/bench_xls.cpp)
target_link_libraries(bench_xls PRIVATE foresyn_core benchmark::benchmark)
foresyn_target_defaults(bench_xls)
