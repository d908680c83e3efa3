package com.tovex.maven;

import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

import org.apache.maven.artifact.Artifact;
import org.apache.maven.plugin.AbstractMojo;
import org.apache.maven.plugin.MojoExecutionException;
import org.apache.maven.plugin.MojoFailureException;
import org.apache.maven.plugins.annotations.LifecyclePhase;
import org.apache.maven.plugins.annotations.Mojo;
import org.apache.maven.plugins.annotations.Parameter;
import org.apache.maven.plugins.annotations.ResolutionScope;
import org.apache.maven.project.MavenProject;

/**
 * Builds a tovex launcher exe for the project: checks the configuration with {@code tovex-build --check}
 * (errors fail the build with the builder's FILE:LINE messages), then writes the exe with
 * {@code tovex-build}. The builder for the machine Maven runs on comes out of this plugin's jar.
 *
 * <p>The settings come either from a tovex configuration file ({@code config}) or from the inline
 * parameters, which this goal writes into a configuration file of its own
 * ({@code target/tovex/NAME.conf}). With {@code config}, the inline settings are given to the builder
 * as {@code --set} options after the file's.
 */
@Mojo(name = "build", defaultPhase = LifecyclePhase.PACKAGE, requiresDependencyResolution = ResolutionScope.RUNTIME,
      threadSafe = true)
public class BuildMojo extends AbstractMojo {
    /** Where the builders, stubs and runtime jar lie in this plugin's jar. */
    private static final String TOOLS = "/com/tovex/maven/tools/";
    private static final String[] TOOL_FILES = {"stubs/launcher-gui.exe", "stubs/launcher-console.exe",
                                                "lib/tovex-runtime.jar"};
    /** The systems this plugin has a builder for: os.name prefix, os.arch names, folder. */
    private static final String[][] PLATFORMS = {
        {"linux", "amd64 x86_64", "linux-x86_64"},
        {"linux", "aarch64 arm64", "linux-aarch64"},
        {"mac", "x86_64 amd64", "macos-x86_64"},
        {"mac", "aarch64 arm64", "macos-arm64"},
        {"windows", "amd64 x86_64", "windows-x86_64"},
    };
    private static final Pattern FINDING = Pattern.compile("^(?:tovex-build: )?(.*?): (error|warning): (.*)$");

    @Parameter(defaultValue = "${project}", readonly = true, required = true)
    private MavenProject project;

    /** A tovex configuration file; relative paths in it count from its own folder. */
    @Parameter(property = "tovex.config")
    private File config;

    /** The folder the exe is written to; the class-path jars go into its {@code libDirectory}. */
    @Parameter(property = "tovex.outputDirectory", defaultValue = "${project.build.directory}")
    private File outputDirectory;

    /** The exe's file name. */
    @Parameter(property = "tovex.exeName", defaultValue = "${project.build.finalName}.exe")
    private String exeName;

    /** The launcher stub: {@code gui}, {@code console} or a path; by default the one EXE_TYPE asks for. */
    @Parameter(property = "tovex.stub")
    private String stub;

    /** MAIN_CLASS: the application's main class. */
    @Parameter(property = "tovex.mainClass")
    private String mainClass;

    /** CLASS_PATH as written in a configuration file; by default made from the project's jars. */
    @Parameter
    private String classPath;

    /**
     * Whether to make CLASS_PATH from the project's jar, its runtime dependencies and tovex-runtime.jar
     * (each mandatory, as {@code A1lib\NAME.jar}) and copy these jars into {@code libDirectory}.
     * Default: true without {@code config} and {@code classPath}, false otherwise.
     */
    @Parameter(property = "tovex.generateClassPath")
    private Boolean generateClassPath;

    /** The folder beside the exe that the generated class path names and the jars are copied to. */
    @Parameter(defaultValue = "lib")
    private String libDirectory;

    /** Whether the generated class path and the copied jars include tovex-runtime.jar. */
    @Parameter(defaultValue = "true")
    private boolean addRuntimeJar;

    /** JVM_SEARCH_SEQUENCE, for example {@code B.\jre;J;EJAVA_HOME;S}. */
    @Parameter
    private String searchSequence;

    /** MIN_VERSION: the lowest Java version accepted, for example {@code 17}. */
    @Parameter
    private String minVersion;

    /** MAX_VERSION: the highest Java version accepted. */
    @Parameter
    private String maxVersion;

    /** VM_OPTIONS: the VM options, split like a command line. */
    @Parameter
    private String vmOptions;

    /** Any other settings by name, for example {@code <EXE_TYPE>1</EXE_TYPE>}; these come last. */
    @Parameter
    private Map<String, String> settings;

    /**
     * The {@code [resources]} keys (ICON, SPLASH_IMAGE, FILE_VERSION, PRODUCT_NAME, ...); paths relative
     * to the project folder. FILE_VERSION and PRODUCT_VERSION default to the numeric start of the project
     * version. Only without {@code config} (whose own [resources] section holds them).
     */
    @Parameter
    private Map<String, String> resources;

    /** Files appended to the exe and extracted at start: {@code <file><name>lib\x.jar</name><path>...</path></file>}. */
    @Parameter
    private List<AppendedFile> files;

    /** Whether {@code tovex-build --check} runs before the build (its errors fail the build). */
    @Parameter(property = "tovex.check", defaultValue = "true")
    private boolean check;

    /** Skips the goal. */
    @Parameter(property = "tovex.skip", defaultValue = "false")
    private boolean skip;

    /** A file appended to the exe: its name in the exe and its path (relative to the project folder). */
    public static class AppendedFile {
        private String name;
        private File path;

        public String getName() { return name; }
        public void setName(String name) { this.name = name; }
        public File getPath() { return path; }
        public void setPath(File path) { this.path = path; }
    }

    @Override
    public void execute() throws MojoExecutionException, MojoFailureException {
        if (skip) {
            getLog().info("tovex: skipped");
            return;
        }
        String platform = platform(System.getProperty("os.name", ""), System.getProperty("os.arch", ""));
        if (platform == null) {
            throw new MojoExecutionException("tovex: no tovex-build for " + System.getProperty("os.name") + " "
                                             + System.getProperty("os.arch") + " in this plugin (it has builders for "
                                             + "Linux x86-64 and aarch64, macOS x86-64 and arm64, Windows x86-64)");
        }
        if (config != null && resources != null && !resources.isEmpty()) {
            throw new MojoFailureException("tovex: <resources> go with the inline settings only: put them into the "
                                           + "[resources] section of " + config);
        }
        if (config != null && !config.isFile()) {
            throw new MojoFailureException("tovex: the configuration file " + config + " does not exist");
        }
        File build = new File(project.getBuild().getDirectory());
        File tools = new File(build, "tovex-tools");
        File builder = unpackTools(tools, platform);
        boolean generate = generateClassPath != null ? generateClassPath : (config == null && classPath == null);

        Map<String, String> inline = new LinkedHashMap<>();
        put(inline, "MAIN_CLASS", mainClass);
        put(inline, "CLASS_PATH", generate ? copyJars(tools) : classPath);
        put(inline, "JVM_SEARCH_SEQUENCE", searchSequence);
        put(inline, "MIN_VERSION", minVersion);
        put(inline, "MAX_VERSION", maxVersion);
        put(inline, "VM_OPTIONS", vmOptions);
        if (settings != null) {
            for (Map.Entry<String, String> e : settings.entrySet()) inline.put(e.getKey(), nonNull(e.getValue()));
        }

        List<String> options = new ArrayList<>();
        File conf;
        if (config != null) {
            conf = config;
            for (Map.Entry<String, String> e : inline.entrySet()) {
                options.add("--set");
                options.add(e.getKey() + "=" + e.getValue());
            }
        } else {
            conf = writeConfig(new File(build, "tovex/" + exeName.replaceAll("\\.exe$", "") + ".conf"), inline);
        }
        if (files != null) {
            for (AppendedFile f : files) {
                if (f.getName() == null || f.getPath() == null) {
                    throw new MojoFailureException("tovex: a <file> needs a <name> and a <path>");
                }
                options.add("--file");
                options.add(f.getName() + "=" + resolve(f.getPath()).getPath());
            }
        }
        if (stub != null && !stub.isEmpty()) {
            options.add("--stub");
            options.add(stub);
        }

        File exe = new File(outputDirectory, exeName);
        if (check) {
            List<String> cmd = new ArrayList<>();
            cmd.add(builder.getPath());
            cmd.add("--check");
            cmd.add(conf.getPath());
            cmd.add("--app-dir");
            cmd.add(outputDirectory.getPath());
            cmd.addAll(options);
            Result r = run(cmd);
            List<String> errors = report(r);
            if (r.code != 0) {
                throw new MojoFailureException("tovex: " + conf + " has errors:\n" + String.join("\n", errors));
            }
        }
        List<String> cmd = new ArrayList<>();
        cmd.add(builder.getPath());
        cmd.add("--config");
        cmd.add(conf.getPath());
        cmd.add("--out");
        cmd.add(exe.getPath());
        cmd.addAll(options);
        Result r = run(cmd);
        List<String> errors = report(r);
        if (r.code != 0) {
            throw new MojoFailureException("tovex: tovex-build failed (exit code " + r.code + "):\n"
                                           + String.join("\n", errors.isEmpty() ? r.lines : errors));
        }
        getLog().info("tovex: built " + exe);
    }

    /** The folder name of the builder for a system, or null when this plugin has none. */
    static String platform(String osName, String osArch) {
        String os = osName.toLowerCase(Locale.ROOT);
        String arch = osArch.toLowerCase(Locale.ROOT);
        for (String[] p : PLATFORMS) {
            if (os.startsWith(p[0]) && (" " + p[1] + " ").contains(" " + arch + " ")) return p[2];
        }
        return null;
    }

    /** FILE_VERSION from a project version: its leading numbers, at most four ("1.2.3-SNAPSHOT" is "1.2.3"). */
    static String numericVersion(String version) {
        Matcher m = Pattern.compile("^(\\d+)(\\.\\d+)?(\\.\\d+)?(\\.\\d+)?").matcher(version == null ? "" : version);
        if (!m.find()) return null;
        for (int i = 1; i <= m.groupCount(); ++i) {
            String part = m.group(i);
            if (part != null && Long.parseLong(part.replace(".", "")) > 65535) return null;
        }
        return m.group();
    }

    private File unpackTools(File tools, String platform) throws MojoExecutionException {
        String exeName = platform.startsWith("windows") ? "tovex-build.exe" : "tovex-build";
        String builderPath = "bin/" + platform + "/" + exeName;
        List<String> all = new ArrayList<>();
        all.add(builderPath);
        for (String f : TOOL_FILES) all.add(f);
        for (String name : all) {
            try (InputStream in = BuildMojo.class.getResourceAsStream(TOOLS + name)) {
                if (in == null) throw new MojoExecutionException("tovex: this plugin's jar lacks " + name);
                byte[] data = readAll(in);
                Path target = new File(tools, name).toPath();
                if (!Files.isRegularFile(target) || !java.util.Arrays.equals(Files.readAllBytes(target), data)) {
                    Files.createDirectories(target.getParent());
                    Path temp = Files.createTempFile(target.getParent(), ".part", "");
                    Files.write(temp, data);
                    Files.move(temp, target, StandardCopyOption.REPLACE_EXISTING);
                }
                if (name.equals(builderPath) && !target.toFile().canExecute() && !target.toFile().setExecutable(true)) {
                    throw new MojoExecutionException("tovex: cannot make " + target + " executable");
                }
            } catch (IOException e) {
                throw new MojoExecutionException("tovex: cannot unpack " + name + " into " + tools + ": " + e, e);
            }
        }
        return new File(tools, builderPath);
    }

    /** Copies the project's jar, its runtime dependencies and tovex-runtime.jar into libDirectory; the CLASS_PATH. */
    private String copyJars(File tools) throws MojoExecutionException {
        List<File> jars = new ArrayList<>();
        File own = project.getArtifact().getFile();
        if (own == null || !own.isFile()) {
            throw new MojoExecutionException("tovex: the project's jar is not built yet: run the goal in the package "
                                             + "phase (its default), after jar:jar");
        }
        jars.add(own);
        for (Artifact a : project.getArtifacts()) {
            if (a.getArtifactHandler().isAddedToClasspath() && a.getFile() != null) jars.add(a.getFile());
        }
        if (addRuntimeJar) jars.add(new File(tools, "lib/tovex-runtime.jar"));
        File lib = new File(outputDirectory, libDirectory);
        String prefix = libDirectory.isEmpty() ? "" : libDirectory.replace('/', '\\') + "\\";
        StringBuilder cp = new StringBuilder();
        for (File jar : jars) {
            try {
                Files.createDirectories(lib.toPath());
                Files.copy(jar.toPath(), new File(lib, jar.getName()).toPath(), StandardCopyOption.REPLACE_EXISTING);
            } catch (IOException e) {
                throw new MojoExecutionException("tovex: cannot copy " + jar + " into " + lib + ": " + e, e);
            }
            if (cp.length() > 0) cp.append(';');
            cp.append("A1").append(prefix).append(jar.getName());
        }
        return cp.toString();
    }

    private File writeConfig(File conf, Map<String, String> inline) throws MojoExecutionException {
        StringBuilder text = new StringBuilder("# Written by tovex-maven-plugin from the POM of " + project.getId() + "\n");
        for (Map.Entry<String, String> e : inline.entrySet()) line(text, e.getKey(), e.getValue());
        Map<String, String> res = new LinkedHashMap<>();
        String version = numericVersion(project.getVersion());
        if (version != null) {
            res.put("FILE_VERSION", version);
            res.put("PRODUCT_VERSION", version);
        }
        if (resources != null) {
            for (Map.Entry<String, String> e : resources.entrySet()) {
                String value = nonNull(e.getValue());
                if (e.getKey().equals("ICON") || e.getKey().equals("SPLASH_IMAGE")) {
                    value = resolve(new File(value)).getPath();
                }
                res.put(e.getKey(), value);
            }
        }
        if (!res.isEmpty()) {
            text.append("\n[resources]\n");
            for (Map.Entry<String, String> e : res.entrySet()) line(text, e.getKey(), e.getValue());
        }
        try {
            Files.createDirectories(conf.getParentFile().toPath());
            Files.write(conf.toPath(), text.toString().getBytes(StandardCharsets.UTF_8));
        } catch (IOException e) {
            throw new MojoExecutionException("tovex: cannot write " + conf + ": " + e, e);
        }
        return conf;
    }

    /** NAME = value; a value the file format would read differently (blanks at an end, a quote first, a line break) is quoted. */
    private static void line(StringBuilder text, String name, String value) {
        boolean plain = !value.isEmpty() && value.trim().equals(value) && !value.startsWith("\"")
                        && value.indexOf('\n') < 0 && value.indexOf('\r') < 0;
        if (plain) {
            text.append(name).append(" = ").append(value).append('\n');
            return;
        }
        text.append(name).append(" = \"");
        for (char c : value.toCharArray()) {
            if (c == '"' || c == '\\') text.append('\\').append(c);
            else if (c == '\n') text.append("\\n");
            else if (c == '\r') text.append("\\r");
            else if (c == '\t') text.append("\\t");
            else text.append(c);
        }
        text.append("\"\n");
    }

    private File resolve(File path) {
        return path.isAbsolute() ? path : new File(project.getBasedir(), path.getPath());
    }

    private static void put(Map<String, String> map, String name, String value) {
        if (value != null) map.put(name, value);
    }

    private static String nonNull(String value) {
        return value == null ? "" : value;
    }

    private static final class Result {
        int code;
        List<String> lines = new ArrayList<>();
    }

    private Result run(List<String> cmd) throws MojoExecutionException {
        getLog().debug("tovex: " + String.join(" ", cmd));
        ProcessBuilder pb = new ProcessBuilder(cmd).redirectErrorStream(true);
        pb.directory(project.getBasedir());
        Result r = new Result();
        try {
            Process p = pb.start();
            p.getOutputStream().close();
            String out = new String(readAll(p.getInputStream()), StandardCharsets.UTF_8);
            r.code = p.waitFor();
            for (String l : out.split("\r?\n")) {
                if (!l.isEmpty()) r.lines.add(l);
            }
        } catch (IOException e) {
            throw new MojoExecutionException("tovex: cannot run " + cmd.get(0) + ": " + e, e);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
            throw new MojoExecutionException("tovex: interrupted while running " + cmd.get(0), e);
        }
        return r;
    }

    /** Logs the builder's lines (findings as warnings and errors); the error lines. */
    private List<String> report(Result r) {
        List<String> errors = new ArrayList<>();
        for (String l : r.lines) {
            Matcher m = FINDING.matcher(l);
            if (m.matches() && m.group(2).equals("error")) {
                getLog().error(l);
                errors.add(l);
            } else if (m.matches()) {
                getLog().warn(l);
            } else if (r.code != 0 && l.startsWith("tovex-build: ") && !l.startsWith("tovex-build: stub ")
                       && !l.matches("tovex-build: .*: \\d+ errors?, .*")) {
                getLog().error(l);
                errors.add(l);
            } else {
                getLog().info(l);
            }
        }
        return errors;
    }

    private static byte[] readAll(InputStream in) throws IOException {
        ByteArrayOutputStream buf = new ByteArrayOutputStream();
        byte[] chunk = new byte[65536];
        for (int n; (n = in.read(chunk)) > 0; ) buf.write(chunk, 0, n);
        return buf.toByteArray();
    }
}
