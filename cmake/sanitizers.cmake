# MOXXML_SANITIZE instruments every target, tests included, so a leak or an
# undefined operation anywhere fails the suite.
if(MOXXML_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

# MOXXML_SANITIZE_THREAD instruments every target for data races; the runtimes of the two
# sanitizers cannot share a process.
if(MOXXML_SANITIZE_THREAD)
  if(MOXXML_SANITIZE)
    message(FATAL_ERROR "MOXXML_SANITIZE and MOXXML_SANITIZE_THREAD exclude each other")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# MOXXML_BUILD_FUZZ instruments everything for libFuzzer's coverage as well; the fuzz
# executables add the fuzzer runtime itself.
if(MOXXML_BUILD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "MOXXML_BUILD_FUZZ needs clang (libFuzzer)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
