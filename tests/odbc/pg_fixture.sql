-- What the program's own statements need on a PostgreSQL server: the
-- catalogue view, the functions and the aggregate of the SQL Anywhere
-- dialect it speaks. Run by the test server's start script as the owner
-- of the test database.


CREATE VIEW systable AS
SELECT c.relname::varchar(128) AS table_name,
       (CASE c.relkind WHEN 'v' THEN 'VIEW' ELSE 'BASE' END)::varchar(10) AS table_type,
       (CASE WHEN n.nspname IN ('pg_catalog', 'information_schema') THEN 0 ELSE 1 END) AS creator
FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace
WHERE c.relkind IN ('r', 'v', 'p', 'm')
  AND n.nspname NOT LIKE 'pg\_toast%' AND n.nspname NOT LIKE 'pg\_temp%';

CREATE SCHEMA sys;
CREATE VIEW sys.systable AS SELECT * FROM public.systable;

CREATE FUNCTION lcase(text) RETURNS text LANGUAGE sql IMMUTABLE AS 'SELECT lower($1)';
CREATE FUNCTION ucase(text) RETURNS text LANGUAGE sql IMMUTABLE AS 'SELECT upper($1)';

-- Connection variables live as custom settings "tamsel.<name>".
CREATE FUNCTION varexists(name text) RETURNS integer LANGUAGE sql STABLE AS
$$SELECT CASE WHEN current_setting('tamsel.' || lower(name), true) IS NULL THEN 0 ELSE 1 END$$;

CREATE FUNCTION connection_property(name text) RETURNS integer LANGUAGE sql STABLE AS
$$SELECT CASE WHEN lower(name) = 'number' THEN pg_backend_pid() END$$;

CREATE FUNCTION tamsel_list_step(acc text, item text) RETURNS text LANGUAGE sql IMMUTABLE AS
$$SELECT CASE WHEN item IS NULL THEN acc WHEN acc IS NULL THEN item ELSE acc || ',' || item END$$;
CREATE AGGREGATE list(text) (SFUNC = tamsel_list_step, STYPE = text);

-- The result columns of a query, by position.
CREATE FUNCTION sa_describe_query(query text)
RETURNS TABLE(column_number integer, name varchar, domain_name varchar)
LANGUAGE plpgsql VOLATILE AS $$
DECLARE
    view_name text := 'tamsel_describe_' || pg_backend_pid();
BEGIN
    EXECUTE format('CREATE OR REPLACE TEMP VIEW %I AS %s', view_name, query);
    RETURN QUERY
        SELECT a.attnum::integer, a.attname::varchar, format_type(a.atttypid, a.atttypmod)::varchar
        FROM pg_attribute a
        WHERE a.attrelid = ('pg_temp.' || quote_ident(view_name))::regclass AND a.attnum > 0
        ORDER BY a.attnum;
    EXECUTE format('DROP VIEW pg_temp.%I', view_name);
END $$;
