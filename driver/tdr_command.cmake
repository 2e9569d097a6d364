# The vandrel-tdr command and the generator of sample TDR streams. Both need
# the decoder library of tdr/.
if(TARGET vandrel_tdr)
  add_executable(vandrel-tdr driver/vandrel_tdr_main.cpp driver/progress_bar.cpp)
  target_link_libraries(vandrel-tdr PRIVATE vandrel_tdr vandrel_names vandrel_platform)

  add_executable(gen_tdr_stream tools/gen_tdr_stream.cpp)
  target_include_directories(gen_tdr_stream PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(gen_tdr_stream PRIVATE vandrel_platform)
endif()
