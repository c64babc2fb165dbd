# MOXXML_SANITIZE instruments every target, tests included, so a leak or an
# undefined operation anywhere fails the suite.
if(MOXXML_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
