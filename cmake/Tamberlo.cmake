# Options and helpers shared by every folder of the build.

set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)

option(TAMBERLO_BUILD_TESTS "Build the tests" ON)
option(TAMBERLO_BUILD_BENCHMARKS "Build the benchmarks" OFF)
option(TAMBERLO_FUZZ "Build the libFuzzer targets (clang)" OFF)
option(TAMBERLO_SANITIZE "Build with the address and undefined-behaviour sanitizers" OFF)

if(TAMBERLO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# The fuzz build instruments every library the fuzz targets exercise, so that
# libFuzzer sees coverage inside the code under test, not only in the targets.
if(TAMBERLO_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(WIN32)
  # 8-bit Windows API throughout; no <windows.h> min/max macros.
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  # The runtime goes inside every executable and the DLL: they need no DLL
  # beyond the system's own.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

# Warnings on and clean for the project's own targets.
function(tamberlo_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -pedantic)
endfunction()

# Folder of the tests' helper programs and the stand-in's SAS root, so that
# tests find them at compile time.
set(TAMBERLO_SAS_ROOT "${CMAKE_BINARY_DIR}/sasroot" CACHE INTERNAL "")

# The file names of a SAS installation on the build's platform: SAS for
# Windows (SAS.EXE, sasv8.cfg) in the Windows build, SAS for UNIX (sas,
# sasv9.cfg) elsewhere. Every program that plays SAS is installed under them.
if(WIN32)
  set(TAMBERLO_SAS_EXECUTABLE "SAS.EXE" CACHE INTERNAL "")
  set(TAMBERLO_SAS_CONFIG "sasv8.cfg" CACHE INTERNAL "")
else()
  set(TAMBERLO_SAS_EXECUTABLE "sas" CACHE INTERNAL "")
  set(TAMBERLO_SAS_CONFIG "sasv9.cfg" CACHE INTERNAL "")
endif()

# Gives `target` the SAS executable's name and puts it into `folder`.
function(tamberlo_install_as_sas target folder)
  if(WIN32)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME SAS SUFFIX .EXE)
  else()
    set_target_properties(${target} PROPERTIES OUTPUT_NAME sas)
  endif()
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${folder}")
endfunction()
