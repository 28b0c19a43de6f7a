// SPDX-License-Identifier: GPL-3.0-or-later
// Default run-time options of the sanitizers, read by their run-times before main; an
// ASAN_OPTIONS, LSAN_OPTIONS or UBSAN_OPTIONS variable still overrides them.
#ifndef VORANDI_SANITIZE_DIR
#error "VORANDI_SANITIZE_DIR must name the folder of the suppression files"
#endif

extern "C" {

const char *__asan_default_options()
{
    return "detect_leaks=1:check_initialization_order=1:strict_init_order=1:"
           "detect_stack_use_after_return=1:abort_on_error=0:exitcode=23";
}

const char *__lsan_default_options()
{
    return "suppressions=" VORANDI_SANITIZE_DIR "/lsan.supp:print_suppressions=0:exitcode=23";
}

const char *__ubsan_default_options()
{
    return "suppressions=" VORANDI_SANITIZE_DIR "/ubsan.supp:print_stacktrace=1:halt_on_error=1";
}

} // extern "C"
