package com.tovex.runtime;

import static org.junit.Assert.assertEquals;

import java.util.Arrays;
import java.util.List;
import org.junit.Test;

/** The launcher's quoting rules, case by case (mirrors the launcher's own tokenizer table). */
public class ArgumentSplitterTest {
    private static final String Q = "\"";

    /** { case name, input, expected tokens... } */
    private static final Object[][] CASES = {
        { "empty text", "", new String[] {} },
        { "spaces only", "   ", new String[] {} },
        { "single word", "abc", new String[] { "abc" } },
        { "two words", "a b", new String[] { "a", "b" } },
        { "two spaces give no empty token", "a  b", new String[] { "a", "b" } },
        { "leading and trailing spaces", "  a b  ", new String[] { "a", "b" } },
        { "tab is not a separator", "a\tb c", new String[] { "a\tb", "c" } },
        { "empty double quotes", Q + Q, new String[] { "" } },
        { "empty apostrophes", "''", new String[] { "" } },
        { "empty quotes between words", "a " + Q + Q + " b", new String[] { "a", "", "b" } },
        { "double-quoted with space", Q + "a b" + Q, new String[] { "a b" } },
        { "apostrophe-quoted with space", "'a b'", new String[] { "a b" } },
        { "prefix joined with quoted value", "-Dname=" + Q + "a b" + Q + " x",
            new String[] { "-Dname=a b", "x" } },
        { "text behind closing quote starts a new token", Q + "a" + Q + "b", new String[] { "a", "b" } },
        { "prefix, quote, then more text", "x" + Q + "y" + Q + "z", new String[] { "xy", "z" } },
        { "apostrophe inside a word opens a section", "don't stop", new String[] { "dont stop" } },
        { "apostrophe section closes", "don't' stop", new String[] { "dont", "stop" } },
        { "apostrophe inside double quotes is ordinary", Q + "it's" + Q + " x",
            new String[] { "it's", "x" } },
        { "double quote inside apostrophes is ordinary", "'say " + Q + "hi" + Q + "'",
            new String[] { "say " + Q + "hi" + Q } },
        { "unclosed double quote runs to the end", Q + "a b c", new String[] { "a b c" } },
        { "unclosed quote after prefix", "ab" + Q + "c d", new String[] { "abc d" } },
        { "backslash is ordinary", "a\\b c\\", new String[] { "a\\b", "c\\" } },
        { "backslash before a quote does not escape", "a\\" + Q + "b c" + Q,
            new String[] { "a\\b c" } },
        { "closing quote then one space then space", Q + "a" + Q + "  b", new String[] { "a", "b" } },
        { "quoted program path", Q + "C:\\Program Files\\App\\app.exe" + Q + " -x 'y z'",
            new String[] { "C:\\Program Files\\App\\app.exe", "-x", "y z" } },
        { "space before any quote ends the token", "a 'b c'", new String[] { "a", "b c" } },
        { "non-ASCII and surrogates kept", "\u00e9t\u00e9 \ud83d\ude00",
            new String[] { "\u00e9t\u00e9", "\ud83d\ude00" } },
    };

    @Test
    public void splitsLikeTheLauncher() {
        for (Object[] row : CASES) {
            List<String> expected = Arrays.asList((String[]) row[2]);
            assertEquals((String) row[0], expected, ArgumentSplitter.split((String) row[1]));
        }
    }

    @Test
    public void nullGivesNoTokens() {
        assertEquals(0, ArgumentSplitter.split(null).size());
    }
}
