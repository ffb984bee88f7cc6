import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * Sells a whole receipt in one request on a fresh virtual printer through libtivcall, then
 * sends it again under its id: the second answer is the first one kept and nothing is printed.
 *
 *   javac -d classes TivCall.java SellReceipt.java
 *   java -Djava.library.path=build/bin -cp classes SellReceipt /tmp/tiv-java-example
 *
 * The answers are read with a pattern to keep the example free of libraries; a host reads them
 * with its JSON library.
 */
public final class SellReceipt {
    private static final String SALE =
        "{\"receipt\": {"
        + "\"items\": ["
        + "{\"code\": \"101\", \"description\": \"ARROZ TIPO 1 5KG\", \"quantity\": 1,"
        + " \"price\": 24.90, \"tax\": \"01\"},"
        + "{\"code\": \"102\", \"description\": \"FEIJAO CARIOCA 1KG\", \"quantity\": 2,"
        + " \"price\": 8.49, \"tax\": \"01\", \"discount\": 1.00}],"
        + "\"payments\": [{\"method\": \"Dinheiro\", \"amount\": 50.00}],"
        + "\"footer\": \"Obrigado pela prefer\u00eancia!\"},"
        + "\"id\": \"java-sale-1\"}";

    /** A request that must not be answered with an error. */
    private static String must(String request) {
        String answer = TivCall.call(request);
        if (answer.startsWith("{\"error\"") || answer.contains("\"error\":{")) {
            throw new IllegalStateException(answer);
        }
        return answer;
    }

    private static String member(String answer, String name) {
        Matcher m = Pattern.compile("\"" + name + "\":(\"[^\"]*\"|[-0-9.]+|true|false)")
                        .matcher(answer);
        if (!m.find()) return "";
        String value = m.group(1);
        return value.startsWith("\"") ? value.substring(1, value.length() - 1) : value;
    }

    public static void main(String[] args) {
        String folder = args.length > 0 ? args[0] : "/tmp/tiv-java-example";
        if (folder.contains("\"") || folder.contains("\\")) {
            System.err.println("SellReceipt: give a plain folder name");
            System.exit(2);
        }
        must("{\"ecfsim\": \"OpenFolder\", \"args\": [\"" + folder + "\"]}");
        must("{\"ecfsim\": \"Reset\"}");
        must("{\"call\": \"StartImpFiscal\", \"args\": [{\"CDFILIAL\": \"0001\","
             + " \"IDTIPOIMPFIS\": 33, \"BOUTILTAA\": false}]}");

        String sold = must(SALE);
        System.out.println("COO " + member(sold, "coo") + " CCF " + member(sold, "ccf")
                           + " due " + member(sold, "due") + " change " + member(sold, "change"));
        boolean footer = sold.contains("Obrigado pela prefer\u00eancia!");

        String mark = member(must("{\"ecfsim\": \"MarkPaper\"}"), "result");
        String again = must(SALE);
        String paper = must("{\"ecfsim\": \"PaperSince\", \"args\": [" + mark + "]}");
        must("{\"call\": \"StopImpFiscal\"}");
        TivCall.end();

        boolean ok = member(sold, "closed").equals("true") && footer
                     && member(again, "repeated").equals("true")
                     && paper.contains("\"lines\":[]");
        System.out.println(ok ? "receipt closed, sold once" : "the sale went wrong: " + sold);
        System.exit(ok ? 0 : 1);
    }
}
