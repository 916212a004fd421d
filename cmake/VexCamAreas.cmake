# vexcam_area(NAME deps...) makes the static library vexcam_NAME from NAME/*.cpp
# (recursively), or an interface library while the folder has no sources yet.
function(vexcam_area name)
  file(GLOB_RECURSE _sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${name}/*.cpp ${CMAKE_SOURCE_DIR}/${name}/*.c)
  if(_sources)
    add_library(vexcam_${name} STATIC ${_sources})
    target_include_directories(vexcam_${name} PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/include)
    target_link_libraries(vexcam_${name} PUBLIC ${ARGN})
  else()
    add_library(vexcam_${name} INTERFACE)
    target_include_directories(vexcam_${name} INTERFACE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/include)
    target_link_libraries(vexcam_${name} INTERFACE ${ARGN})
  endif()
endfunction()
