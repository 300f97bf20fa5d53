# Installs the build into PREFIX and checks that each file a desktop or user looks for is there.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
set(expected
  bin/ondrel
  bin/ondrel-cli
  bin/ondrel-sim
  share/applications/io.github.ondrel.Ondrel.desktop
  share/metainfo/io.github.ondrel.Ondrel.metainfo.xml
  share/icons/hicolor/scalable/apps/io.github.ondrel.Ondrel.svg
  share/icons/hicolor/48x48/apps/io.github.ondrel.Ondrel.png
  share/icons/hicolor/256x256/apps/io.github.ondrel.Ondrel.png
  share/man/man1/ondrel.1.gz
  share/man/man1/ondrel-cli.1.gz
  share/man/man1/ondrel-sim.1.gz
  share/doc/ondrel/ondrel-guide.html
  lib/systemd/system/ondrel-cli@.service)
foreach(f IN LISTS expected)
  if(NOT EXISTS ${PREFIX}/${f})
    message(FATAL_ERROR "missing after install: ${f}")
  endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
