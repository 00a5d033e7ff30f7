# FLTK for the window backend, found by its header and library: Debian's FLTKConfig.cmake names a
# fluid program that is not installed, which makes find_package(FLTK) fail. Defines varnel_fltk.
if(NOT TARGET varnel_fltk)
  find_package(X11)
  find_path(VARNEL_FLTK_INCLUDE_DIR FL/Fl.H)
  find_library(VARNEL_FLTK_LIBRARY fltk)
  if(VARNEL_FLTK_INCLUDE_DIR AND VARNEL_FLTK_LIBRARY AND X11_FOUND)
    add_library(varnel_fltk INTERFACE)
    target_include_directories(varnel_fltk SYSTEM INTERFACE ${VARNEL_FLTK_INCLUDE_DIR})
    target_link_libraries(varnel_fltk INTERFACE ${VARNEL_FLTK_LIBRARY} ${X11_LIBRARIES})
    target_compile_definitions(varnel_fltk INTERFACE VARNEL_HAVE_FLTK=1)
  endif()
endif()
