# bench_tdr: throughput of the TDR stream decoder on a generated stream, with
# its own buffer and with one byte per system call.
if(TARGET vandrel_tdr AND TARGET gen_tdr_stream)
  add_executable(bench_tdr ${CMAKE_CURRENT_LIST_DIR}/bench_tdr.cpp)
  target_link_libraries(bench_tdr PRIVATE vandrel_tdr vandrel_platform)
  target_compile_definitions(bench_tdr PRIVATE GEN_TDR_STREAM="$<TARGET_FILE:gen_tdr_stream>")
  add_dependencies(bench_tdr gen_tdr_stream)
endif()
