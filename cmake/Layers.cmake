# The layers of the system, each a library of its own, from the bottom up:
#   flbase < flresources < flserial < flflash < flports < flapp
#   < flwindowrules < the front ends (cli, ui/qt, ui/win32);
#   modemsimcore sits on flbase and flserial only.
# A library links only the libraries it names, and sees only their headers
# and its own: each target gets a folder of its own in the build tree that
# holds one link, named like the source folder, to that folder. Nothing gets
# the whole source tree, so an include of a layer above fails to compile
# ("No such file") instead of quietly tying the layers together.
set(FL_INCLUDE_ROOT ${CMAKE_BINARY_DIR}/include)

# fl_own_headers(target folder): target and whatever links it include the
# headers of folder (relative to the source tree) as "folder/Name.h".
function(fl_own_headers target folder)
  set(root ${FL_INCLUDE_ROOT}/${target})
  # A build tree configured before a folder moved may hold a link where a
  # folder is wanted now (ui -> <src>/ui before ui/qt): making the folder
  # would then reach into the source tree. Such links go first, and a folder
  # where the link is wanted now (it holds links only, which removing it does
  # not follow).
  set(path ${root})
  string(REPLACE "/" ";" parts "${folder}")
  foreach(part IN LISTS parts)
    set(path ${path}/${part})
    if(IS_SYMLINK ${path})
      file(REMOVE ${path})
    endif()
  endforeach()
  if(IS_DIRECTORY ${root}/${folder})
    file(REMOVE_RECURSE ${root}/${folder})
  endif()
  cmake_path(GET folder PARENT_PATH parent)
  file(MAKE_DIRECTORY ${root}/${parent})
  file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    target_include_directories(${target} PRIVATE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()

