# Sanitizer flags apply to everything built in the tree (engine, tools, tests).
if(KORVEL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(KORVEL_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  # The threaded runs check that no main-thread request is made under the engine lock, as debug
  # builds do, although this build is optimised.
  add_compile_definitions(KORVEL_LOCK_CHECKS)
  add_link_options(-fsanitize=thread)
endif()
if(KORVEL_FUZZ)
  # Coverage instrumentation for everything; the fuzz targets link libFuzzer's main themselves.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
