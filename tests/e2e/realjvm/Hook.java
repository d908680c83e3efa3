package realapp;

import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;

/** The first-run hook of the scenarios: leaves a file beside the report and lets the start go on. */
public final class Hook {
    public static boolean firstRun() throws Exception {
        Files.write(Paths.get(System.getProperty("realapp.report") + ".firstrun"),
                "first run".getBytes(StandardCharsets.UTF_8));
        return true;
    }
}
