# The camera model an SDK is built for. A product id names a row of the
# product table (camera/product_table.cpp); the row's model name gives the
# library's file name and, through identity/build_identity.cpp, the device
# names and the settings key and file.

# vexcam_normalize_product(VALUE OUT): "0x3200", "3200" or "0X3200" as "0x3200".
function(vexcam_normalize_product value out)
  if(NOT value MATCHES "^(0[xX])?([0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f])$")
    message(FATAL_ERROR "VEXCAM_PRODUCT: '${value}' is not a four-digit hexadecimal product id")
  endif()
  string(TOUPPER "${CMAKE_MATCH_2}" _digits)
  set(${out} "0x${_digits}" PARENT_SCOPE)
endfunction()

# vexcam_model_of(PRODUCT OUT): the model name of the product's table row.
function(vexcam_model_of product out)
  file(STRINGS ${CMAKE_SOURCE_DIR}/camera/product_table.cpp _row
    REGEX "\\.productId = ${product}, \\.model = \"[A-Za-z0-9]+\"")
  if(NOT _row MATCHES "\\.model = \"([A-Za-z0-9]+)\"")
    message(FATAL_ERROR "VEXCAM_PRODUCT: no product ${product} in camera/product_table.cpp")
  endif()
  set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
endfunction()

# vexcam_products_with_drivers(OUT): the products whose row has a driver class
# of its own (not the fallback), as "id:model" pairs.
function(vexcam_products_with_drivers out)
  file(STRINGS ${CMAKE_SOURCE_DIR}/camera/product_table.cpp _rows
    REGEX "\\.productId = 0x[0-9A-F]+, \\.model = \"[A-Za-z0-9]+\".*\\.construct = k[A-Za-z0-9]+")
  set(_pairs)
  foreach(_row ${_rows})
    string(REGEX MATCH "productId = (0x[0-9A-F]+), \\.model = \"([A-Za-z0-9]+)\".*\\.construct = (k[A-Za-z0-9]+)"
      _m "${_row}")
    if(NOT CMAKE_MATCH_3 STREQUAL "kFallback")
      list(APPEND _pairs "${CMAKE_MATCH_1}:${CMAKE_MATCH_2}")
    endif()
  endforeach()
  set(${out} ${_pairs} PARENT_SCOPE)
endfunction()

# vexcam_identity(PRODUCT MODEL): the object library vexcam_identity_MODEL
# with the build's identity for that product.
function(vexcam_identity product model)
  add_library(vexcam_identity_${model} OBJECT ${CMAKE_SOURCE_DIR}/identity/build_identity.cpp)
  target_include_directories(vexcam_identity_${model} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(vexcam_identity_${model} PRIVATE
    VEXCAM_PRODUCT_ID=${product} VEXCAM_MODEL_NAME="${model}")
endfunction()
