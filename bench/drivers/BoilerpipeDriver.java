// boilerpipe's article extractor over every page in one JVM: a pass that
// writes each page's text, then timed rounds until the budget is spent.
//   java BoilerpipeDriver OUTDIR BUDGET_SECONDS LIST
import de.l3s.boilerpipe.extractors.ArticleExtractor;
import java.nio.charset.Charset;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;

public class BoilerpipeDriver {
  private static String extract(String html) {
    try {
      String text = ArticleExtractor.INSTANCE.getText(html);
      return text == null ? "" : text;
    } catch (Exception | StackOverflowError e) {
      return "";
    }
  }

  public static void main(String[] args) throws Exception {
    Path outDir = Paths.get(args[0]);
    double budget = Double.parseDouble(args[1]);
    List<String> names = new ArrayList<>();
    List<String> pages = new ArrayList<>();
    long total = 0;
    for (String line : Files.readAllLines(Paths.get(args[2]), StandardCharsets.UTF_8)) {
      if (line.isEmpty()) continue;
      String[] fields = line.split("\t");
      byte[] raw = Files.readAllBytes(Paths.get(fields[0]));
      total += raw.length;
      String name = Paths.get(fields[0]).getFileName().toString().replaceAll("\\.html$", "");
      names.add(name);
      pages.add(new String(raw, Charset.forName(fields[1])));
    }
    for (int i = 0; i < pages.size(); i++) {
      Files.write(outDir.resolve(names.get(i) + ".txt"), extract(pages.get(i)).getBytes(StandardCharsets.UTF_8));
    }
    com.sun.management.OperatingSystemMXBean os =
        (com.sun.management.OperatingSystemMXBean) java.lang.management.ManagementFactory.getOperatingSystemMXBean();
    long cpuStart = os.getProcessCpuTime();
    long start = System.nanoTime();
    int rounds = 0;
    double seconds;
    do {
      for (String page : pages) extract(page);
      rounds++;
      seconds = (System.nanoTime() - start) / 1e9;
    } while (seconds < budget);
    System.out.printf(java.util.Locale.ROOT, "{\"bytes\": %d, \"rounds\": %d, \"seconds\": %.6f, \"cpu\": %.6f}%n",
        total, rounds, seconds, (os.getProcessCpuTime() - cpuStart) / 1e9);
  }
}
