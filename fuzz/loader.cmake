# The page loader of brevanto-extract: decoding, the HTML5 parse and the
# serialization of the body, then the analysis of what it hands over.
find_path(MYHTML_INCLUDE_DIR myhtml/api.h)
find_library(MODEST_LIBRARY modest)
if(MYHTML_INCLUDE_DIR AND MODEST_LIBRARY)
  add_library(brevanto_cli_fuzz STATIC ${BREVANTO_ROOT}/cli/decoder.cpp ${BREVANTO_ROOT}/cli/page_loader.cpp)
  target_include_directories(brevanto_cli_fuzz PUBLIC ${BREVANTO_ROOT})
  target_include_directories(brevanto_cli_fuzz SYSTEM PRIVATE ${MYHTML_INCLUDE_DIR})
  target_link_libraries(brevanto_cli_fuzz PUBLIC brevanto_core ${MODEST_LIBRARY})
  add_executable(loader_fuzz loader_fuzz.cpp)
  target_link_libraries(loader_fuzz PRIVATE brevanto_cli_fuzz brevanto_core)
  target_link_options(loader_fuzz PRIVATE -fsanitize=fuzzer)
endif()
