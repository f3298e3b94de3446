# Third-party code comes from Debian's packages only; nothing is copied into the tree.

# nlohmann JSON (nlohmann-json3-dev) is header-only. Both builds see it through a link in the build
# folder, so the cross build does not put the host's /usr/include on its include path.
find_path(VANDREL_NLOHMANN_INCLUDE nlohmann/json.hpp
          PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(_json_include ${CMAKE_BINARY_DIR}/deps/include)
file(MAKE_DIRECTORY ${_json_include})
file(CREATE_LINK ${VANDREL_NLOHMANN_INCLUDE}/nlohmann ${_json_include}/nlohmann SYMBOLIC)
add_library(nlohmann_json INTERFACE)
target_include_directories(nlohmann_json SYSTEM INTERFACE ${_json_include})

# GoogleTest from the googletest source package, built once per toolchain.
set(VANDREL_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
if(WIN32)
    set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
endif()
add_subdirectory(${VANDREL_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# Boost (libboost-dev): the tool's preview server uses Beast and Asio, both header-only, so the
# same headers serve the native and the Windows build. Linked into the build folder like nlohmann.
find_path(VANDREL_BOOST_INCLUDE boost/beast.hpp
          PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
file(CREATE_LINK ${VANDREL_BOOST_INCLUDE}/boost ${_json_include}/boost SYMBOLIC)
add_library(boost_headers INTERFACE)
target_include_directories(boost_headers SYSTEM INTERFACE ${_json_include})
target_compile_definitions(boost_headers INTERFACE BOOST_ASIO_NO_DEPRECATED)
if(WIN32)
    target_link_libraries(boost_headers INTERFACE ws2_32 mswsock)
endif()

# zlib (zlib1g-dev; libz-mingw-w64-dev for the Windows build) deflates the files of the zip that
# `vandrel build --zip` writes. Linked statically, so vandrel.exe needs no zlib1.dll.
set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)

# CLI11 (libcli11-dev) reads the tool's command lines; header-only, linked in like nlohmann.
find_path(VANDREL_CLI11_INCLUDE CLI/CLI.hpp
          PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
file(CREATE_LINK ${VANDREL_CLI11_INCLUDE}/CLI ${_json_include}/CLI SYMBOLIC)
add_library(cli11_headers INTERFACE)
target_include_directories(cli11_headers SYSTEM INTERFACE ${_json_include})
