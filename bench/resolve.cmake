# Page decoding and marker extraction against iconv + memmem (bench/resolve.sh runs it).
add_executable(resolve_bench ${CMAKE_CURRENT_LIST_DIR}/resolve_bench.cpp)
target_link_libraries(resolve_bench PRIVATE qzln_text)
