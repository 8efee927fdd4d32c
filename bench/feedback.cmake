# Feedback generation for 200 participants in memory and as `foresyn-cli
# feedback` on files, next to cp + sync of the same files.
add_executable(bench_feedback ${CMAKE_CURRENT_LIST_DIR}/bench_feedback.cpp)
target_link_libraries(bench_feedback PRIVATE benchmark::benchmark foresyn_core foresyn_cli_lib)
foresyn_target_defaults(bench_feedback)
