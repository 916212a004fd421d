# vexcam_sdk_test(NAME SDK MODEL SOURCES... [SKIP gtest-pattern]): one
# black-box test executable linked against the shared library target SDK,
# built for MODEL. The sources
# see the library file (VEXCAM_SO_PATH), the model's product id for its
# simulated camera (VEXCAM_TEST_PRODUCT) and its name (VEXCAM_TEST_MODEL).
# Tests against another model's library are named <model>.<suite>.<test>;
# SKIP leaves out tests that do not depend on the model.
function(vexcam_sdk_test name sdk model)
  set(_product)
  foreach(_pair ${VEXCAM_VARIANTS} ${VEXCAM_PRODUCT_ID}:${VEXCAM_MODEL})
    string(REPLACE ":" ";" _fields ${_pair})
    list(GET _fields 1 _m)
    if(_m STREQUAL model)
      list(GET _fields 0 _product)
      break()
    endif()
  endforeach()
  if(NOT _product)
    message(FATAL_ERROR "vexcam_sdk_test: no product id for model ${model}")
  endif()
  cmake_parse_arguments(T "" "SKIP" "" ${ARGN})
  add_executable(${name} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE vexcam_test_main ${sdk})
  target_compile_definitions(${name} PRIVATE
    VEXCAM_SO_PATH="$<TARGET_FILE:${sdk}>"
    VEXCAM_TEST_PRODUCT=${_product}
    VEXCAM_TEST_MODEL="${model}")
  set(_prefix)
  if(NOT model STREQUAL VEXCAM_MODEL)
    set(_prefix ${model}.)
  endif()
  set(_filter)
  if(T_SKIP)
    set(_filter TEST_FILTER "-${T_SKIP}")
  endif()
  gtest_discover_tests(${name} TEST_PREFIX "${_prefix}" ${_filter}
    DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()

# The second model every black-box suite also runs against, when this build
# has its library (tests on, and the build itself is not for that model).
set(VEXCAM_TEST_SECOND_MODEL IMX990)
if(VEXCAM_MODEL STREQUAL VEXCAM_TEST_SECOND_MODEL OR NOT TARGET VexCamSdk_${VEXCAM_TEST_SECOND_MODEL})
  set(VEXCAM_TEST_SECOND_MODEL)
endif()
