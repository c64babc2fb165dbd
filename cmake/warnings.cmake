# Warning set shared by every target of the project.
function(moxxml_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wnon-virtual-dtor
                                           -Wcast-qual)
  if(MOXXML_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
