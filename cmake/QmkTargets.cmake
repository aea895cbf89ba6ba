# Helpers for this project's own targets. Nothing here touches a target or a
# setting of a project that includes this one.

# Warnings on one of our targets (not globally: a parent project keeps its own).
function(qmk_warnings target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -Wall -Wextra)
  endif()
endfunction()

# An include root that holds one source folder and nothing else: a link named
# after the folder, in a directory of its own in the build tree. Headers are
# included as "<folder>/Name.h", so a target sees the headers of a folder only
# when it links the target that publishes that folder's root.
function(qmk_include_root target folder)
  get_filename_component(name "${folder}" NAME)
  set(root "${PROJECT_BINARY_DIR}/include-roots/${name}")
  file(MAKE_DIRECTORY "${root}")
  file(CREATE_LINK "${folder}" "${root}/${name}" SYMBOLIC RESULT made)
  if(NOT made EQUAL 0)
    message(FATAL_ERROR "Cannot link ${root}/${name} to ${folder}: ${made}")
  endif()
  target_include_directories(${target} PUBLIC "$<BUILD_INTERFACE:${root}>")
endfunction()

# One layer of the core, from the sources of the calling folder:
#   qmk_core_layer(<layer> SOURCES <files>... [LINKS <lower layer targets>...])
# makes the static library qmk_<layer> (alias qmk::<layer>) that sees only its
# own headers and those of the layers it links. The core builds without Qt.
function(qmk_core_layer layer)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;LINKS")
  set(target qmk_${layer})
  add_library(${target} STATIC ${arg_SOURCES})
  add_library(qmk::${layer} ALIAS ${target})
  qmk_include_root(${target} "${CMAKE_CURRENT_SOURCE_DIR}")
  target_compile_features(${target} PUBLIC cxx_std_20)
  set_target_properties(${target} PROPERTIES CXX_EXTENSIONS OFF POSITION_INDEPENDENT_CODE ON)
  target_link_libraries(${target} PUBLIC ${arg_LINKS})
  qmk_warnings(${target})

  # A wrong-way call that no include shows (a declaration written by hand)
  # fails here: the layer's objects, linked as a shared object with nothing but
  # the layers below it, may leave no symbol undefined.
  if(QMK_CHECK_LAYERS)
    add_library(${target}_linkcheck SHARED $<TARGET_OBJECTS:${target}>)
    target_link_libraries(${target}_linkcheck PRIVATE ${arg_LINKS})
    target_link_options(${target}_linkcheck PRIVATE LINKER:--no-undefined)
    set_target_properties(${target}_linkcheck PROPERTIES
      LIBRARY_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/layer-checks")
  endif()
endfunction()
