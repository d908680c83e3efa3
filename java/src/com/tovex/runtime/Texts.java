package com.tovex.runtime;

/** Every fixed text the runtime classes print or show, in one place. */
final class Texts {
    private Texts() {
    }

    static final String TOO_FEW_ARGUMENTS =
            "Error: the launcher passed %d arguments; at least 6 are needed.";
    static final String NO_MAIN_CLASS = "Error: no main class is configured.";
    static final String MAIN_CLASS_NOT_FOUND =
            "Error: could not find or load main class %s (not on the class path).";
    static final String MAIN_CLASS_NOT_LOADED = "Error: could not load main class %s: %s";
    static final String MAIN_METHOD_NOT_FOUND =
            "Error: main class %s has no method public static void main(String[]).";
    static final String MAIN_METHOD_NOT_STATIC =
            "Error: the main method of class %s is not static; declare it as public static void main(String[]).";
    static final String MAIN_METHOD_NOT_ACCESSIBLE =
            "Error: the main method of class %s cannot be called: %s";
    static final String APPLICATION_FAILED = "The application ended with an error:";
    static final String DIALOG_TITLE = "Error";
    static final String LOG_NOT_OPENED = "Warning: could not open the log file %s: %s";
    static final String TEMP_DIR_REFUSED =
            "Warning: tovex.tempDir %s does not look like an extraction directory; it is not removed.";
    static final String COMM_FILE_UNREADABLE =
            "Warning: the single-instance file %s was left incomplete by its writer and has been removed.";
    static final String COMM_FILE_NOT_DELETED =
            "Warning: could not delete the single-instance file %s; retrying.";
    static final String LISTENER_FAILED = "Warning: the single-instance listener failed:";
}
