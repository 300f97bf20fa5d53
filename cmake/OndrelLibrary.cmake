# Layers the compiler enforces. Every library exports an include folder of its own that holds
# links to its own headers only, under the path the code includes them by ("link/frame.h"). A
# library sees its own headers and those of the libraries it links, nothing else: a core library
# that includes a widget header, or the link that includes a data header, fails to compile.
#
# ondrel_export_headers(<target> <prefix>): <prefix> is the include path of the current source
# folder, e.g. "data/support".
function(ondrel_export_headers target prefix)
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  set(dir ${root}/${prefix})
  file(MAKE_DIRECTORY ${dir})
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(header IN LISTS headers)
    get_filename_component(name ${header} NAME)
    file(CREATE_LINK ${header} ${dir}/${name} SYMBOLIC COPY_ON_ERROR)
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()
