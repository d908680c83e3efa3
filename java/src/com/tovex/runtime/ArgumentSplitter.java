package com.tovex.runtime;

import java.util.ArrayList;
import java.util.List;

/**
 * The launcher's own command-line tokenizer, in Java.
 *
 * <p>The rules are the launcher's, not the usual Windows ones: the space is the only
 * separator (tabs belong to tokens), both the double quote and the apostrophe quote,
 * there is no escape character, and a quoted section ends its token (text directly
 * behind a closing quote starts a new token). Text before an opening quote is joined
 * with the quoted text ({@code -Dname="a b"} gives {@code -Dname=a b}); an unclosed
 * quote runs to the end of the text.
 */
public final class ArgumentSplitter {
    private ArgumentSplitter() {
    }

    /** Splits {@code text} into tokens; null or an empty text gives an empty list. */
    public static List<String> split(String text) {
        List<String> tokens = new ArrayList<String>();
        if (text == null) {
            return tokens;
        }
        final int length = text.length();
        int pos = 0;
        while (pos < length) {
            if (text.charAt(pos) == ' ') {
                pos++;
                continue;
            }
            int doubleQuote = text.indexOf('"', pos);
            int apostrophe = text.indexOf('\'', pos);
            int space = text.indexOf(' ', pos);
            if (space >= 0 && (doubleQuote < 0 || space < doubleQuote)
                    && (apostrophe < 0 || space < apostrophe)) {
                tokens.add(text.substring(pos, space));
                pos = space + 1;
            } else if (doubleQuote >= 0 && (apostrophe < 0 || doubleQuote < apostrophe)) {
                pos = quotedToken(text, pos, doubleQuote, tokens);
            } else if (apostrophe >= 0) {
                pos = quotedToken(text, pos, apostrophe, tokens);
            } else {
                tokens.add(text.substring(pos));
                pos = length;
            }
        }
        return tokens;
    }

    /** Adds the token that contains the quote at {@code open}; returns where reading goes on. */
    private static int quotedToken(String text, int start, int open, List<String> tokens) {
        final int length = text.length();
        int close = text.indexOf(text.charAt(open), open + 1);
        String inner = close < 0 ? text.substring(open + 1) : text.substring(open + 1, close);
        tokens.add(open == start ? inner : text.substring(start, open) + inner);
        if (close < 0) {
            return length;
        }
        int next = close + 1;
        if (next < length && text.charAt(next) == ' ') {
            next++;
        }
        return next;
    }
}
