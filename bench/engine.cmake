# A command-line driver of the download engine for bench/run (native only).
add_executable(engine_cli ${CMAKE_CURRENT_LIST_DIR}/engine_cli.cpp)
target_link_libraries(engine_cli PRIVATE qzln_engine)
