# A toolchain for configuring the macOS branch of the build files on Linux,
# without a Mac, an SDK or a compiler that could target one: CMake takes the
# platform to be Darwin (APPLE is true), and the answers it would get from a
# compiler are given here instead, so nothing is ever compiled or run. This
# machine's Qt, libplist and GoogleTest stand in for Homebrew's. Used by
# scripts/check-macos-config.sh; the build it generates cannot be built.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_VERSION 24.0.0)
set(CMAKE_SYSTEM_PROCESSOR arm64)
set(CMAKE_OSX_ARCHITECTURES arm64)
set(CMAKE_OSX_SYSROOT "")
set(CMAKE_SIZEOF_VOID_P 8)

# Apple's clang as CMake would have found it.
get_property(known_features GLOBAL PROPERTY CMAKE_CXX_KNOWN_FEATURES)
list(FILTER known_features EXCLUDE REGEX "^cxx_std_")
foreach(lang CXX OBJCXX)
  set(CMAKE_${lang}_COMPILER /usr/bin/c++)
  set(CMAKE_${lang}_COMPILER_ID AppleClang)
  set(CMAKE_${lang}_COMPILER_VERSION 16.0.0)
  set(CMAKE_${lang}_COMPILER_ID_RUN TRUE)
  set(CMAKE_${lang}_COMPILER_WORKS TRUE)
  set(CMAKE_${lang}_ABI_COMPILED TRUE)
  set(CMAKE_${lang}_SIZEOF_DATA_PTR 8)
  set(CMAKE_${lang}_STANDARD_COMPUTED_DEFAULT 98)
  set(CMAKE_${lang}_EXTENSIONS_COMPUTED_DEFAULT ON)
  set(CMAKE_${lang}98_COMPILE_FEATURES cxx_std_98 ${known_features})
  set(CMAKE_${lang}_COMPILE_FEATURES cxx_std_98 ${known_features})
  foreach(std 11 14 17 20 23)
    set(CMAKE_${lang}${std}_COMPILE_FEATURES cxx_std_${std})
    list(APPEND CMAKE_${lang}_COMPILE_FEATURES cxx_std_${std})
  endforeach()
endforeach()
set(CMAKE_INSTALL_NAME_TOOL /bin/false)
set(CMAKE_HAVE_LIBC_PTHREAD TRUE CACHE INTERNAL "")

# This machine's packages, found where Debian keeps them.
file(GLOB qt_config /usr/lib/*/cmake/Qt6/Qt6Config.cmake)
list(GET qt_config 0 qt_config)
string(REGEX REPLACE "^/usr/lib/([^/]+)/.*" "\\1" CMAKE_LIBRARY_ARCHITECTURE "${qt_config}")
list(APPEND CMAKE_PREFIX_PATH /usr)

# Qt Gui asks for the OpenGL framework; an empty one stands in.
set(stub_framework ${CMAKE_BINARY_DIR}/stub-frameworks/OpenGL.framework)
file(MAKE_DIRECTORY ${stub_framework})
file(TOUCH ${stub_framework}/OpenGL)
set(OPENGL_gl_LIBRARY ${stub_framework}/OpenGL CACHE FILEPATH "")
set(OPENGL_INCLUDE_DIR /usr/include CACHE PATH "")
