#!/usr/bin/env python3
"""Writes and compiles a program that loads a few thousand JDK and own classes (about 1,500
of its own and 1,800 of the JDK): many_classes.py OUT.jar [JAVA_HOME]. Used by bench.py."""
import pathlib
import subprocess
import sys
import tempfile


def main(out_jar: str, javac_home: str, count: int = 1500) -> None:
    """count own classes (many.P0 ...), each called once, then JDK work that loads about 1,800 classes."""
    out_jar = pathlib.Path(out_jar)
    with tempfile.TemporaryDirectory() as tmp:
        src = pathlib.Path(tmp) / "src" / "many"
        src.mkdir(parents=True)
        (src / "Part.java").write_text("package many;\npublic interface Part { int work(int x); }\n")
        for i in range(count):
            (src / f"P{i}.java").write_text(
                f"package many;\npublic final class P{i} implements Part {{\n"
                f"  static final int SEED = {i * 7919 % 1000};\n"
                f"  public int work(int x) {{ return (x * 31 + SEED) ^ {i}; }}\n}}\n")
        calls = "\n".join(f"    sum += new P{i}().work(sum);" for i in range(count))
        (src / "Main.java").write_text(f"""package many;
import java.util.*; import java.util.stream.*;
public final class Main {{
  public static void main(String[] args) throws Exception {{
    int sum = 0;
{calls}
    // JDK work: XML, XPath, transformation, java.time, regex, streams, Swing components (headless).
    javax.xml.parsers.DocumentBuilder db = javax.xml.parsers.DocumentBuilderFactory.newInstance().newDocumentBuilder();
    org.w3c.dom.Document doc = db.parse(new java.io.ByteArrayInputStream("<a><b n='1'/><b n='2'/></a>".getBytes("UTF-8")));
    Object n = javax.xml.xpath.XPathFactory.newInstance().newXPath().evaluate("count(//b)", doc, javax.xml.xpath.XPathConstants.NUMBER);
    java.io.StringWriter w = new java.io.StringWriter();
    javax.xml.transform.TransformerFactory.newInstance().newTransformer().transform(new javax.xml.transform.dom.DOMSource(doc), new javax.xml.transform.stream.StreamResult(w));
    String t = java.time.format.DateTimeFormatter.ISO_LOCAL_DATE.format(java.time.LocalDate.of(2024, 2, 29).plusDays(sum & 7));
    long words = java.util.regex.Pattern.compile("\\\\w+").matcher(w.toString()).results().count();
    String joined = IntStream.range(0, 50).boxed().map(i -> Integer.toHexString(i * 17)).filter(s -> s.length() > 1).collect(Collectors.joining(","));
    java.util.logging.Logger.getLogger("many").fine(joined);
    java.text.NumberFormat nf = java.text.NumberFormat.getCurrencyInstance(java.util.Locale.GERMANY);
    String money = nf.format(sum / 100.0) + java.text.MessageFormat.format("{{0,date,long}}", new java.util.Date(0L));
    java.util.concurrent.CompletableFuture<Integer> cf = java.util.concurrent.CompletableFuture.supplyAsync(() -> 6 * 7);
    java.net.URI uri = java.net.URI.create("http://example.org/a?b=c").resolve("d");
    java.security.MessageDigest md = java.security.MessageDigest.getInstance("SHA-256");
    byte[] digest = md.digest(money.getBytes(java.nio.charset.StandardCharsets.UTF_8));
    java.util.zip.CRC32 crc = new java.util.zip.CRC32(); crc.update(digest);
    java.awt.geom.AffineTransform at = java.awt.geom.AffineTransform.getRotateInstance(0.5);
    java.awt.image.BufferedImage img = new java.awt.image.BufferedImage(8, 8, java.awt.image.BufferedImage.TYPE_INT_ARGB);
    int panel = img.getWidth() + (int) at.getScaleX() + cf.get() + uri.getPath().length() + (int) (crc.getValue() & 1);
    System.out.println("many-classes " + sum + " " + n + " " + t + " " + words + " " + joined.length() + " " + panel);
  }}
}}
""")
        classes = pathlib.Path(tmp) / "classes"
        srcs = [str(p) for p in src.glob("*.java")]
        subprocess.run([f"{javac_home}/bin/javac", "--release", "17", "-d", str(classes), *srcs], check=True)
        out_jar.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run([f"{javac_home}/bin/jar", "cf", str(out_jar), "-C", str(classes), "."], check=True)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else "/usr/lib/jvm/java-17-openjdk-amd64")
