// Prints every user table of a Jet file as mdb-reader reads it: a line with
// its columns, then a line per row, each "TABLE\tJSON" (dates as ISO text,
// big integers as text, bytes as hex).
import MDBReader from "mdb-reader";
import { readFileSync } from "fs";

const [file, password] = process.argv.slice(2);
const reader = new MDBReader(readFileSync(file), password ? { password } : {});
const plain = (key, v) =>
  typeof v === "bigint" ? v.toString()
  : v instanceof Date ? v.toISOString()
  : v && v.type === "Buffer" ? Buffer.from(v.data).toString("hex")
  : v;
const lines = [];
for (const name of reader.getTableNames({ normalTables: true, systemTables: false, linkedTables: false })) {
  const table = reader.getTable(name);
  const columns = table.getColumns();
  lines.push(name + "\t" + JSON.stringify(columns.map((c) => [c.name, c.type, c.size])));
  for (const row of table.getData()) lines.push(name + "\t" + JSON.stringify(columns.map((c) => row[c.name]), plain));
}
process.stdout.write(lines.join("\n") + "\n");
