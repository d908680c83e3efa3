# Real-JVM tests of the splash controller poll (host only). Included by
# tests/jvm/CMakeLists.txt: include(${CMAKE_CURRENT_SOURCE_DIR}/splash.cmake)
# Three runs, each with its own VM and class path: the application-side
# controller of java/src, a scripted controller (null texts, exceptions), and
# no controller at all.
set(SPLASH_JVM_LIB ${JAVA_HOME}/lib/server/libjvm.so)
set(SPLASH_CLASSES ${CMAKE_CURRENT_BINARY_DIR}/splash-classes)
set(SPLASH_REAL_SOURCE ${CMAKE_SOURCE_DIR}/java/src/com/tovex/runtime/TovexController.java)
set(SPLASH_SCRIPTED_SOURCE ${CMAKE_CURRENT_LIST_DIR}/splash/TovexController.java)
add_custom_command(
  OUTPUT ${SPLASH_CLASSES}/real/com/tovex/runtime/TovexController.class
         ${SPLASH_CLASSES}/scripted/com/tovex/runtime/TovexController.class
  COMMAND ${JAVA_HOME}/bin/javac --release 8 -nowarn -d ${SPLASH_CLASSES}/real ${SPLASH_REAL_SOURCE}
  COMMAND ${JAVA_HOME}/bin/javac --release 8 -nowarn -d ${SPLASH_CLASSES}/scripted ${SPLASH_SCRIPTED_SOURCE}
  DEPENDS ${SPLASH_REAL_SOURCE} ${SPLASH_SCRIPTED_SOURCE})
add_custom_target(splash_jvm_classes ALL
  DEPENDS ${SPLASH_CLASSES}/real/com/tovex/runtime/TovexController.class
          ${SPLASH_CLASSES}/scripted/com/tovex/runtime/TovexController.class)

add_executable(splash_jvm_tests ${CMAKE_CURRENT_LIST_DIR}/splash_controller_jvm_test.cpp)
target_link_libraries(splash_jvm_tests PRIVATE tovex_core gtest gtest_main ${SPLASH_JVM_LIB} pthread)
set_target_properties(splash_jvm_tests PROPERTIES BUILD_RPATH ${JAVA_HOME}/lib/server)
add_dependencies(splash_jvm_tests splash_jvm_classes)

foreach(run real scripted missing)
  if(run STREQUAL "real")
    set(filter "RealController.*")
  elseif(run STREQUAL "scripted")
    set(filter "ScriptedController.*")
  else()
    set(filter "MissingController.*")
  endif()
  add_test(NAME splash_jvm_${run} COMMAND splash_jvm_tests --gtest_filter=${filter})
  set_tests_properties(splash_jvm_${run} PROPERTIES LABELS host TIMEOUT 300
    ENVIRONMENT "TOVEX_SPLASH_CLASSPATH=${SPLASH_CLASSES}/${run}")
endforeach()
