# How the test programs are registered with CTest: a GoogleTest program case
# by case, each case with a label that says what it needs, so that a quick
# loop can run the cases that need nothing but the program itself:
#   unit     in-process cases: the engine, the run, the models
#   process  cases that start other programs (the CLI, a second engine)
#   slow     cases that take long on purpose (a table over 4 GiB)
#   gui      desktop programs on a (virtual) display
#   wine     Windows programs under Wine
#   interop  against independent dBASE tools
#   fuzz     the fuzz targets' short runs
include(GoogleTest)

# dbfclean_gtest(TARGET [PROCESS filter ...] [SLOW filter ...]): the cases
# matching a PROCESS or SLOW filter (GoogleTest patterns) get that label, all
# others `unit`.
function(dbfclean_gtest target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "PROCESS;SLOW")
  if(WIN32)
    # Under Wine each case would start the emulator anew: the program runs
    # whole, once.
    add_test(NAME ${target} COMMAND ${target} --gtest_color=no)
    set_tests_properties(${target} PROPERTIES LABELS wine TIMEOUT 600)
    return()
  endif()
  list(JOIN arg_PROCESS ":" process)
  list(JOIN arg_SLOW ":" slow)
  set(special "")
  foreach(group process slow)
    if(${group})
      # Listed when the tests run, so that a cross build needs no emulator
      # while it builds.
      gtest_discover_tests(${target} TEST_FILTER "${${group}}" DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                           PROPERTIES LABELS ${group} TIMEOUT 900)
      list(APPEND special "${${group}}")
    endif()
  endforeach()
  set(filter "*")
  if(special)
    list(JOIN special ":" special)
    set(filter "*-${special}")
  endif()
  gtest_discover_tests(${target} TEST_FILTER "${filter}" DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       PROPERTIES LABELS unit TIMEOUT 300)
endfunction()
