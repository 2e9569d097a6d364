# The fuzz targets' saved inputs as ordinary tests: each target's code is
# linked with replay_main.cpp instead of libFuzzer and run over its seed
# corpus and the inputs of past findings (tests/fuzz/regressions/<target>/).
# The properties the targets check hold in every build; the sanitizer build
# (make test SANITIZE=1) also catches what AddressSanitizer and
# UndefinedBehaviorSanitizer see. A replay that hangs fails on the timeout.
set(VANDREL_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})

function(vandrel_add_fuzz_replay name)
  set(target fuzz_replay_${name})
  add_executable(${target} ${VANDREL_FUZZ_DIR}/fuzz_${name}.cpp ${VANDREL_FUZZ_DIR}/replay_main.cpp)
  target_link_libraries(${target} PRIVATE ${ARGN})
  add_test(NAME ${target}
    COMMAND ${target} ${VANDREL_FUZZ_DIR}/corpus/${name} ${VANDREL_FUZZ_DIR}/regressions/${name})
  set_tests_properties(${target} PROPERTIES TIMEOUT 300)
endfunction()

vandrel_add_fuzz_replay(packet vandrel_packet)
vandrel_add_fuzz_replay(extract vandrel_text)
vandrel_add_fuzz_replay(tdr vandrel_text)
