package com.tovex.runtime;

import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertNotNull;
import static org.junit.Assert.assertTrue;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import org.junit.Test;

/**
 * The launcher's quoting rules, case by case: the cases are the table tests/data/argument_splitting.tsv,
 * which the launcher's own tokenizer tests read too (its path is the system property below).
 */
public class ArgumentSplitterTest {
    private static final String CASES_PROPERTY = "tovex.test.argumentCases";

    @Test
    public void splitsLikeTheLauncher() throws IOException {
        String path = System.getProperty(CASES_PROPERTY);
        assertNotNull("system property " + CASES_PROPERTY + " names the shared case table", path);
        int cases = 0;
        int number = 0;
        for (String line : Files.readAllLines(Paths.get(path), StandardCharsets.US_ASCII)) {
            number++;
            if (line.isEmpty() || line.startsWith("#")) {
                continue;
            }
            String[] fields = line.split("\t", -1);
            String where = "line " + number + " (" + fields[0] + ")";
            assertTrue(where + " has a name, an input and a count", fields.length >= 3);
            assertEquals(where + " token count", Integer.parseInt(fields[2]), fields.length - 3);
            List<String> expected = new ArrayList<String>();
            for (String token : Arrays.asList(fields).subList(3, fields.length)) {
                expected.add(unescape(token, where));
            }
            assertEquals(where, expected, ArgumentSplitter.split(unescape(fields[1], where)));
            cases++;
        }
        assertTrue("the table holds the cases (" + cases + ")", cases >= 30);
    }

    @Test
    public void nullGivesNoTokens() {
        assertEquals(0, ArgumentSplitter.split(null).size());
    }

    /** Undoes the table's escapes: \t, \\ and \\uXXXX (one UTF-16 code unit). */
    private static String unescape(String field, String where) {
        StringBuilder out = new StringBuilder();
        for (int i = 0; i < field.length(); i++) {
            char c = field.charAt(i);
            if (c != '\\') {
                out.append(c);
                continue;
            }
            assertTrue(where + ": escape at the end of a field", i + 1 < field.length());
            char kind = field.charAt(++i);
            if (kind == 't') {
                out.append('\t');
            } else if (kind == '\\') {
                out.append('\\');
            } else {
                assertTrue(where + ": unknown escape \\" + kind, kind == 'u' && i + 4 < field.length());
                out.append((char) Integer.parseInt(field.substring(i + 1, i + 5), 16));
                i += 4;
            }
        }
        return out.toString();
    }
}
