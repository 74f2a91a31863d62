# Warnings are errors in every build; third-party headers are included as SYSTEM by their packages.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
                    -Wcast-align -Woverloaded-virtual -Wimplicit-fallthrough -Werror)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  # libFuzzer entry points and gtest macros trip these under clang only.
  add_compile_options(-Wno-unused-command-line-argument)
endif()
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  # g++ 12 at -O3 reports std::string concatenation as overlapping memcpy (GCC bug 105329).
  add_compile_options(-Wno-restrict)
endif()
