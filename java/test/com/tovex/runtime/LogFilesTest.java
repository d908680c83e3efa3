package com.tovex.runtime;

import static org.junit.Assert.assertEquals;

import java.io.File;
import java.nio.charset.Charset;
import org.junit.Test;

public class LogFilesTest {
    private static final String TMP = System.getProperty("java.io.tmpdir");

    @Test
    public void logNamesResolve() {
        String absolute = new File(TMP, "abs.log").getAbsolutePath();
        Object[][] cases = {
            { "empty name: no log", "", null },
            { "null name: no log", null, null },
            { "dollar alone: no log", "$", null },
            { "plain name used as it is", absolute, new File(absolute) },
            { "dollar name lies in the temporary directory", "$app.log", new File(TMP, "app.log") },
            { "dollar name with a directory", "$app" + File.separator + "err.log",
                new File(new File(TMP, "app"), "err.log") },
            { "dollar with an absolute path", "$" + absolute, new File(absolute) },
        };
        for (Object[] row : cases) {
            assertEquals((String) row[0], row[2], LogFiles.resolve((String) row[1]));
        }
    }

    @Test
    public void consoleCodePagesMapToCharsets() {
        Object[][] cases = {
            { null, null },
            { "", null },
            { "850", null },
            { "cpXYZ", null },
            { "cp", null },
            { "cp85O", null },
            { "CP850", null },
            { "xcp850", null },
            { "cp99999", null },
            { "cp65001", "UTF-8" },
            { "cp850", "IBM850" },
            { "cp437", "IBM437" },
            { "cp1252", "windows-1252" },
        };
        for (Object[] row : cases) {
            Charset charset = LogFiles.consoleCharset((String) row[0]);
            assertEquals(String.valueOf(row[0]), row[1], charset == null ? null : charset.name());
        }
    }
}
