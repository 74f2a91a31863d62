# Warnings are errors in every build; third-party headers are included as SYSTEM by their packages.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
                    -Wcast-align -Woverloaded-virtual -Wimplicit-fallthrough -Werror)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  # libFuzzer entry points and gtest macros trip these under clang only.
  add_compile_options(-Wno-unused-command-line-argument)
endif()
